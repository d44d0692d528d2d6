#include "script_types.h"

#include "script.h"
#include "script_statement.h"

#include <algorithm>

namespace Zeb::Kamblo {

// Reference -----------------------------------------------------------------

Reference::Reference(const Pointer<Element>& object, std::string name) : object(object), name(std::move(name)) {}

Reference::~Reference() { releaseFlat(object); }

namespace {

bool sameSlot(const Reference* a, const Element* object, const std::string& name)
{
    return a->object.get() == object && a->name == name;
}

} // namespace

Value Reference::content() const
{
    // Followed iteratively with Brent's cycle detection, so that a slot left
    // referring to itself (a = a) neither recurses nor loops forever.
    const Element* markObject = object.get();
    std::string markName = name;
    Value mark; // keeps the marked slot's object alive
    int power = 1;
    int sinceMark = 0;
    Value v = object->getValue(name.c_str());
    for (int hops = 1;; ++hops) {
        const auto* r = dynamic_cast<const Reference*>(v.object.get());
        if (!r) {
            EvaluationStep::charge(hops);
            return v;
        }
        if (sameSlot(r, markObject, markName) || hops > maxChain) {
            EvaluationStep::charge(hops);
            return Value();
        }
        if (sinceMark == power) {
            mark = v;
            markObject = r->object.get();
            markName = r->name;
            power *= 2;
            sinceMark = 0;
        }
        ++sinceMark;
        v = r->object->getValue(r->name.c_str());
    }
}

Value Reference::getValue(const char* n) const
{
    if (!n)
        return object->getValue(name.c_str());
    return static_cast<Pointer<Element>>(content())->getValue(n);
}

void Reference::setValue(const char* n, const Value& v)
{
    if (!n) {
        object->setValue(name.c_str(), v);
        return;
    }
    static_cast<Pointer<Element>>(content())->setValue(n, v);
}

Value Reference::exec(const char* n, const Value* args, int count)
{
    if (!n)
        return object->exec(name.c_str(), args, count);
    return static_cast<Pointer<Element>>(content())->exec(n, args, count);
}

int Reference::intValue(const PrimitiveValue&) const { return int(content()); }
float Reference::floatValue(const PrimitiveValue&) const { return float(content()); }
bool Reference::boolValue(const PrimitiveValue&) const { return bool(content()); }
Pointer<Element> Reference::objectValue(const PrimitiveValue&) const
{
    return static_cast<Pointer<Element>>(content());
}

// Array ---------------------------------------------------------------------

Array::Array(int n) : values(size_t(std::clamp(n, 0, maxLength))) {}

Array::~Array()
{
    for (Value& v : values)
        releaseFlat(v.object);
}

Value Array::getValue(const char* name) const
{
    if (!name || !(name[0] >= '0' && name[0] <= '9'))
        return Value();
    int i = leadingInt(name);
    if (i >= 0 && size_t(i) < values.size())
        return values[size_t(i)];
    return Value(0);
}

void Array::setValue(const char* name, const Value& v)
{
    if (name)
        setValueAtIndex(leadingInt(name), v);
}

void Array::setValueAtIndex(int i, const Value& v)
{
    if (i >= 0 && size_t(i) < values.size())
        values[size_t(i)] = v;
}

// Map -----------------------------------------------------------------------

Map::~Map()
{
    for (auto& entry : values)
        releaseFlat(entry.second.object);
}

Value Map::getValue(const char* name) const
{
    if (!name)
        return Value();
    auto it = values.find(name);
    return it == values.end() ? Value() : it->second;
}

void Map::setValue(const char* name, const Value& v)
{
    if (name)
        values[name] = v;
}

bool Map::hasValue(const char* name) const { return name && values.count(name) != 0; }

// Context -------------------------------------------------------------------

Context::Context(const Pointer<Element>& parent) : parent(parent) {}

Context::~Context() { releaseFlat(parent); }

Value Context::getValue(const char* name) const
{
    if (!name)
        return Value();
    auto it = values.find(name);
    if (it != values.end())
        return it->second;
    return parent ? parent->getValue(name) : Value();
}

void Context::setValue(const char* name, const Value& v)
{
    if (!name)
        return;
    if (parent)
        parent->setValue(name, v);
    else
        values[name] = v;
}

void Context::createValue(const char* name)
{
    if (name)
        values[name] = Value();
}

Value Context::exec(const char* name, const Value* args, int count)
{
    if (!name)
        return Value();
    Value v = getValue(name);
    if (!bool(v))
        return parent ? parent->exec(name, args, count) : Value();
    // A truthy reference into another scope would make that scope call the
    // slot's value in turn; follow such chains here instead of recursing.
    while (const auto* r = dynamic_cast<const Reference*>(v.object.get())) {
        auto* scope = dynamic_cast<Context*>(r->object.get());
        if (!scope)
            return r->object->exec(r->name.c_str(), args, count);
        v = scope->getValue(r->name.c_str());
    }
    return v->exec(nullptr, args, count);
}

// FunctionValue -------------------------------------------------------------

FunctionValue::FunctionValue(std::vector<std::string> parameters, const Pointer<Statement>& body)
    : parameters(std::move(parameters)), body(body)
{
}

FunctionValue::~FunctionValue() = default;

Value FunctionValue::exec(const char*, const Value* args, int count)
{
    CallStep call;
    auto scope = autorelease(new Context());
    int bound = std::min(count, int(parameters.size()));
    for (int i = 0; i < bound; ++i)
        scope->setValue(parameters[size_t(i)].c_str(), args[i]);
    if (!body)
        return Value(0);
    try {
        body->run(scope);
    } catch (ReturnException& e) {
        return e.value;
    }
    return Value(0);
}

} // namespace Zeb::Kamblo
