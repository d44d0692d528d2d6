#pragma once
// The containers, scopes, lvalues and functions of the script language.
#include "value.h"

#include <map>
#include <string>
#include <vector>

namespace Zeb::Kamblo {

class Statement;

// A named slot of an element; reading, storing and calling through a value
// that holds a reference act on the slot's current content.
class Reference : public Element {
public:
    Reference(const Pointer<Element>& object, std::string name);
    ~Reference() override;

    Value getValue(const char* name) const override;
    void setValue(const char* name, const Value& v) override;
    Value exec(const char* name, const Value* args, int count) override;
    int intValue(const PrimitiveValue&) const override;
    float floatValue(const PrimitiveValue&) const override;
    bool boolValue(const PrimitiveValue&) const override;
    Pointer<Element> objectValue(const PrimitiveValue&) const override;

    // The content at the end of the chain of references starting here: never
    // itself a reference. A chain that leads back to itself, or one longer
    // than maxChain, reads as null.
    Value content() const;

    static constexpr int maxChain = 1 << 16;

    Pointer<Element> object;
    std::string name;
};

class Array : public Element {
public:
    explicit Array(int n);
    ~Array() override;

    Value getValue(const char* name) const override;
    void setValue(const char* name, const Value& v) override;
    void setValueAtIndex(int i, const Value& v);

    static constexpr int maxLength = 1 << 20;

    std::vector<Value> values;
};

class Map : public Element {
public:
    ~Map() override;

    Value getValue(const char* name) const override;
    void setValue(const char* name, const Value& v) override;
    bool hasValue(const char* name) const;

    std::map<std::string, Value> values;
};

// A variable scope. Reads fall back to the parent; stores go to the parent
// whenever there is one.
class Context : public Map {
public:
    explicit Context(const Pointer<Element>& parent = nullptr);
    ~Context() override;

    Value getValue(const char* name) const override;
    void setValue(const char* name, const Value& v) override;
    Value exec(const char* name, const Value* args, int count) override;
    void createValue(const char* name);

    Pointer<Element> parent;
};

class FunctionValue : public Element {
public:
    FunctionValue(std::vector<std::string> parameters, const Pointer<Statement>& body);
    ~FunctionValue() override;

    Value exec(const char* name, const Value* args, int count) override;

    std::vector<std::string> parameters;
    Pointer<Statement> body;
};

} // namespace Zeb::Kamblo
