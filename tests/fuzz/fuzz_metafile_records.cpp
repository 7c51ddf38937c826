// Feeds arbitrary bytes to the checks of metafile records, as an enhanced metafile and as a
// Windows one: they must never read out of bounds, crash or hang, and what they let
// through must pass them again unchanged. A record they keep but would refuse, or mend
// differently a second time, is one a player may still choke on.
#include "fuzz_require.h"
#include "pictures/metafile_records.h"

#include <cstddef>
#include <cstdint>

namespace {

using Prepare = std::optional<pictures::MetafileDocument> (*)(QByteArrayView, QString&);

void RequireSettled(Prepare prepare, QByteArrayView bytes)
{
    QString error;
    const auto first = prepare(bytes, error);
    if (!first) {
        Require(!error.isEmpty());
        return;
    }
    const auto second = prepare(first->bytes, error);
    Require(second.has_value());
    Require(second->bytes == first->bytes);
    Require(second->size == first->size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    RequireSettled(pictures::PrepareEmf, bytes);
    RequireSettled(pictures::PrepareWmf, bytes);
    return 0;
}
