// A part file's record as it may be found on the disk: torn, damaged or
// another program's. Whatever parses must describe ranges inside the file,
// and read back the same after being written again.
#include "download/part_record.h"
#include "download/segment_table.h"
#include "fuzz_check.h"

#include <string>

using namespace zorvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto record = parsePartRecord(text);
    if (!record) return 0;
    std::int64_t last = -1;
    for (const ByteRange& r : record->done) {
        FUZZ_CHECK(r.begin > last && r.begin < r.end && r.end <= record->size);
        last = r.end;
    }
    const auto again = formatPartRecord(*record);
    FUZZ_CHECK(again);
    const auto back = parsePartRecord(*again);
    FUZZ_CHECK(back && back->done == record->done && back->size == record->size && back->address == record->address);
    // What is left to fetch covers the file with what is there, exactly.
    if (record->size <= (std::int64_t{1} << 40)) {
        SegmentTable table;
        table.planRemaining(record->size, record->done, 5);
        std::int64_t at = 0;
        for (int i = 0; i < table.size(); ++i) {
            FUZZ_CHECK(table.get(i).start == at);
            at = table.get(i).end();
        }
        FUZZ_CHECK(at == record->size);
        FUZZ_CHECK(table.doneTotal() == record->doneBytes());
    }
    return 0;
}
