#include "ExportTable.h"
#include "ReceiptRequestCases.h"

namespace korvo::test {

const ExportTable& LinkedExports() {
    static const ExportTable table = [] {
        ExportTable t;
#define KORVO_LINK_EXPORT(name) t.name = &::name;
        KORVO_FOR_EACH_EXPORT(KORVO_LINK_EXPORT)
#undef KORVO_LINK_EXPORT
        return t;
    }();
    return table;
}

int ReceiptRequestCase::call(int handle) const {
    return send(LinkedExports(), handle);
}

} // namespace korvo::test
