#include "element.h"

#include "value.h"

#include <cstring>
#include <vector>

namespace Zeb::Kamblo {

Value Element::getValue(const char*) const { return Value(); }
void Element::setValue(const char*, const Value&) {}
Value Element::exec(const char*, const Value*, int) { return Value(); }
int Element::intValue(const PrimitiveValue&) const { return 1; }
float Element::floatValue(const PrimitiveValue&) const { return 1.0f; }
bool Element::boolValue(const PrimitiveValue&) const { return true; }
Pointer<Element> Element::objectValue(const PrimitiveValue&) const
{
    return Pointer<Element>(const_cast<Element*>(this));
}

bool Element::eq(const char* a, const char* b)
{
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

namespace {

// Never destroyed, so that containers freed during static destruction can
// still use it. The engine runs on one thread.
std::vector<Pointer<Element>>& parkedList()
{
    static auto* parked = new std::vector<Pointer<Element>>();
    return *parked;
}
bool draining = false;

} // namespace

void releaseFlat(Pointer<Element>& p)
{
    if (!p)
        return;
    if (p->refCount > 1) {
        p = nullptr;
        return;
    }
    std::vector<Pointer<Element>>& parked = parkedList();
    parked.push_back(p);
    p = nullptr;
    if (draining)
        return; // the outermost call's loop below destroys it
    draining = true;
    while (!parked.empty()) {
        Pointer<Element> last = parked.back();
        parked.pop_back();
        // Destroying `last` may park its children; the loop picks them up.
    }
    draining = false;
}

} // namespace Zeb::Kamblo
