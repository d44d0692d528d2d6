#pragma once
// The interface of everything a script can see: named members, calls and the
// four conversions of a value whose object it is.
#include "object.h"

namespace Zeb::Kamblo {

union PrimitiveValue;
class Value;

class Element : public Object {
public:
    // A null name means the element itself (see Reference).
    virtual Value getValue(const char* name) const;
    virtual void setValue(const char* name, const Value& v);
    virtual Value exec(const char* name, const Value* args, int count);
    virtual int intValue(const PrimitiveValue& primitive) const;
    virtual float floatValue(const PrimitiveValue& primitive) const;
    virtual bool boolValue(const PrimitiveValue& primitive) const;
    virtual Pointer<Element> objectValue(const PrimitiveValue& primitive) const;

    // Byte-wise equality of two zero-terminated names; null reads as "".
    static bool eq(const char* a, const char* b);
};

// Drops one owner of p and clears it. When that was the last owner, the
// object is destroyed without nesting destructors: containers hand their own
// children to this function too, so a long chain of contexts, references and
// arrays is freed iteratively instead of recursing down the native stack.
void releaseFlat(Pointer<Element>& p);

} // namespace Zeb::Kamblo
