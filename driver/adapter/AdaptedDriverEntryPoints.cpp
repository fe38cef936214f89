#include "driver/adapter/AdaptedDriverEntryPoints.h"

#include <dlfcn.h>

#include <iterator>

namespace {

// dlsym hands back an object pointer; the entry is a function pointer.
template <typename Function>
Function asFunction(void* symbol) {
    return reinterpret_cast<Function>(symbol);
}

constexpr AdaptedEntryPointRow kRows[] = {
#define MORVANEX_ENTRY_POINT_ROW(name, group, prototype)        \
    {#name, EntryPointGroup::group,                             \
     [](AdaptedDriverEntryPoints& table, void* symbol) {        \
         table.name = asFunction<decltype(table.name)>(symbol); \
     },                                                         \
     [](const AdaptedDriverEntryPoints& table) { return table.name != nullptr; }},
    MORVANEX_ADAPTED_ENTRY_POINTS(MORVANEX_ENTRY_POINT_ROW)
#undef MORVANEX_ENTRY_POINT_ROW
};

static_assert(std::size(kRows) == 102, "the adapted driver has 102 entry points");

}  // namespace

std::span<const AdaptedEntryPointRow> adaptedEntryPointRows() {
    return kRows;
}

bool resolveAdaptedEntryPoint(void* library, const AdaptedEntryPointRow& row,
                              AdaptedDriverEntryPoints& table) {
    void* symbol = library != nullptr ? dlsym(library, row.name) : nullptr;
    row.store(table, symbol);
    return symbol != nullptr;
}
