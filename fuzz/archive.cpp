// archive.cpp -- fuzzes the archive reader: opens the input as an archive and loads every entry

#include "data/archive.h"
#include "data/memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (archive_open_memory(data, size, "fuzz.dat")) {
        for (int i = 0; i < archive_entry_count(); i++) {
            size_t loaded = 0;
            uint8_t *p = archive_load_entry(i, &loaded);
            if (p && loaded != archive_entry(i)->unpacked_size) std::abort();
            mem_free(p);
        }
        if (archive_entry_count() > 0) {
            // The same entry by name, the way the loaders ask for it.
            size_t loaded = 0;
            mem_free(file_load(archive_entry(0)->name, &loaded));
        }
        archive_close();
    }
    mem_free_all();
    return 0;
}
