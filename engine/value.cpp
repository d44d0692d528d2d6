#include "value.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "float_chars.h"

namespace Zeb::Kamblo {

namespace {

// Function-local so that values made during static initialisation of other
// files already find their kind objects.
const Pointer<Element>& sharedNull()
{
    static const Pointer<Element> p = autorelease<Element>(new NullObject());
    return p;
}
const Pointer<Element>& sharedTrue()
{
    static const Pointer<Element> p = autorelease<Element>(new TrueObject());
    return p;
}
const Pointer<Element>& sharedFalse()
{
    static const Pointer<Element> p = autorelease<Element>(new FalseObject());
    return p;
}
const Pointer<Element>& sharedInt()
{
    static const Pointer<Element> p = autorelease<Element>(new IntClass());
    return p;
}
const Pointer<Element>& sharedFloat()
{
    static const Pointer<Element> p = autorelease<Element>(new FloatClass());
    return p;
}

const char* skipSpace(const char* s)
{
    while (std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    return s;
}

// Called when a literal lies outside the double range: decides between an
// overflow (infinity) and an underflow (zero) from its exponent or integer part.
bool underflows(const char* s)
{
    const char* exponent = std::strpbrk(s, "eEpP");
    bool hex = s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (hex)
        exponent = std::strpbrk(s + 2, "pP");
    if (exponent)
        return exponent[1] == '-';
    for (const char* c = hex ? s + 2 : s; std::isxdigit(static_cast<unsigned char>(*c)); ++c) {
        if (*c != '0')
            return false;
    }
    return true;
}

} // namespace

Pointer<Element> nullObject = sharedNull();
Pointer<Element> trueObject = sharedTrue();
Pointer<Element> falseObject = sharedFalse();
Pointer<Element> intClass = sharedInt();
Pointer<Element> floatClass = sharedFloat();

Value::Value() : object(sharedNull()) { primitive.intValue = 0; }
Value::Value(int n) : object(sharedInt()) { primitive.intValue = n; }
Value::Value(float x) : object(sharedFloat()) { primitive.floatValue = x; }
Value::Value(bool b) : object(b ? sharedTrue() : sharedFalse())
{
    primitive.intValue = 0;
    primitive.boolValue = b;
}
Value::Value(const char* s) : object(autorelease<Element>(new StringObject(s))) { primitive.intValue = 0; }
Value::Value(const Pointer<Element>& element) : object(element ? element : sharedNull()) { primitive.intValue = 0; }

int truncateToInt(float x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483648.0f)
        return INT_MAX;
    if (x <= -2147483648.0f)
        return INT_MIN;
    return int(x);
}

float narrowToFloat(double x)
{
    if (std::isnan(x))
        return std::numeric_limits<float>::quiet_NaN();
    constexpr double largest = double(std::numeric_limits<float>::max());
    if (x > largest)
        return std::numeric_limits<float>::infinity();
    if (x < -largest)
        return -std::numeric_limits<float>::infinity();
    return float(x);
}

int leadingInt(const char* text)
{
    const char* s = skipSpace(text);
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    long long n = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        n = n * 10 + (*s - '0');
        if (n > 1LL + INT_MAX)
            n = 1LL + INT_MAX; // saturate; keeps the loop from overflowing
    }
    if (negative)
        n = -n;
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return int(n);
}

float leadingFloat(const char* text)
{
    const char* s = skipSpace(text);
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    const char* end = s + std::strlen(s);
    double x = 0.0;
    std::from_chars_result r;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && std::isxdigit(static_cast<unsigned char>(s[2])))
        r = parseDouble(s + 2, end, x, std::chars_format::hex);
    else if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && s[2] == '.' && std::isxdigit(static_cast<unsigned char>(s[3])))
        r = parseDouble(s + 2, end, x, std::chars_format::hex);
    else
        r = parseDouble(s, end, x, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        x = underflows(s) ? 0.0 : std::numeric_limits<double>::infinity();
    else if (r.ec != std::errc())
        x = 0.0;
    return narrowToFloat(negative ? -x : x);
}

Pointer<Element> IntClass::objectValue(const PrimitiveValue& p) const
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", p.intValue);
    return autorelease<Element>(new StringObject(text));
}

int FloatClass::intValue(const PrimitiveValue& p) const { return truncateToInt(p.floatValue); }

Pointer<Element> FloatClass::objectValue(const PrimitiveValue& p) const
{
    // Fixed notation with six decimals, independent of the process locale.
    char text[64];
    auto r = formatFixed(text, text + sizeof text - 1, double(p.floatValue), 6);
    *r.ptr = 0;
    return autorelease<Element>(new StringObject(text));
}

StringObject::StringObject(const char* s)
{
    if (!s)
        s = "";
    size_t n = std::strlen(s);
    text = new char[n + 1];
    std::memcpy(text, s, n + 1);
}

StringObject::~StringObject() { delete[] text; }

int StringObject::intValue(const PrimitiveValue&) const { return leadingInt(text); }
float StringObject::floatValue(const PrimitiveValue&) const { return leadingFloat(text); }

} // namespace Zeb::Kamblo
