#pragma once
// Script values: an element paired with a primitive that the element knows how
// to read, and the built-in kinds that all null, boolean, integer and float
// values share.
#include "element.h"

#include <type_traits>

namespace Zeb::Kamblo {

union PrimitiveValue {
    int intValue;
    float floatValue;
    bool boolValue;
};

class Value {
public:
    Value();
    Value(int n);
    Value(float x);
    Value(bool b);
    Value(const char* s);
    // A null element becomes the null value, so a Value always has an object.
    Value(const Pointer<Element>& element);
    template <class T, class = std::enable_if_t<std::is_convertible_v<T*, Element*> && !std::is_same_v<T, Element>>>
    Value(const Pointer<T>& element) : Value(Pointer<Element>(element))
    {
    }

    explicit operator int() const { return object->intValue(primitive); }
    explicit operator float() const { return object->floatValue(primitive); }
    explicit operator bool() const { return object->boolValue(primitive); }
    explicit operator Pointer<Element>() const { return object->objectValue(primitive); }
    Element* operator->() const { return object.get(); }

    Pointer<Element> object;
    PrimitiveValue primitive;
};

class NullObject : public Element {
public:
    const char* toString() const override { return "null"; }
    int intValue(const PrimitiveValue&) const override { return 0; }
    float floatValue(const PrimitiveValue&) const override { return 0.0f; }
    bool boolValue(const PrimitiveValue&) const override { return false; }
};

class TrueObject : public Element {
public:
    const char* toString() const override { return "true"; }
    int intValue(const PrimitiveValue&) const override { return 1; }
    float floatValue(const PrimitiveValue&) const override { return 1.0f; }
    bool boolValue(const PrimitiveValue&) const override { return true; }
};

class FalseObject : public Element {
public:
    const char* toString() const override { return "false"; }
    int intValue(const PrimitiveValue&) const override { return 0; }
    float floatValue(const PrimitiveValue&) const override { return 0.0f; }
    bool boolValue(const PrimitiveValue&) const override { return false; }
};

class IntClass : public Element {
public:
    int intValue(const PrimitiveValue& p) const override { return p.intValue; }
    float floatValue(const PrimitiveValue& p) const override { return float(p.intValue); }
    bool boolValue(const PrimitiveValue& p) const override { return p.intValue != 0; }
    Pointer<Element> objectValue(const PrimitiveValue& p) const override;
};

class FloatClass : public Element {
public:
    int intValue(const PrimitiveValue& p) const override;
    float floatValue(const PrimitiveValue& p) const override { return p.floatValue; }
    bool boolValue(const PrimitiveValue& p) const override { return !(p.floatValue == 0.0f); }
    Pointer<Element> objectValue(const PrimitiveValue& p) const override;
};

class StringObject : public Element {
public:
    explicit StringObject(const char* s);
    ~StringObject() override;
    StringObject(const StringObject&) = delete;
    StringObject& operator=(const StringObject&) = delete;

    const char* toString() const override { return text; }
    int intValue(const PrimitiveValue&) const override;
    float floatValue(const PrimitiveValue&) const override;
    bool boolValue(const PrimitiveValue&) const override { return text[0] != 0; }

    char* text;
};

// The five shared kind objects, alive from program start to exit.
extern Pointer<Element> nullObject;
extern Pointer<Element> trueObject;
extern Pointer<Element> falseObject;
extern Pointer<Element> intClass;
extern Pointer<Element> floatClass;

// Conversions that saturate instead of overflowing: NaN gives 0, values past
// the int range give its ends, doubles past the float range give infinities.
int truncateToInt(float x);
float narrowToFloat(double x);
// Leading number of a text, read like atoi and atof but locale-independent and
// without overflow.
int leadingInt(const char* text);
float leadingFloat(const char* text);

} // namespace Zeb::Kamblo
