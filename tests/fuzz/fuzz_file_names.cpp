// Feeds arbitrary bytes as a file name: the name held for them gives the same bytes back,
// is text exactly where the bytes are UTF-8, and shows as many characters as it holds.

#include "files/file_names.h"
#include "fuzz_require.h"

#include <QStringDecoder>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString name = files::NameFromBytes(bytes);
    Require(files::NameBytes(name) == bytes);
    const QString shown = files::ShownName(name);
    Require(shown.size() == name.size());

    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString decoded = utf8(bytes);
    Require(files::ContainsNonText(name) == utf8.hasError());
    if (!utf8.hasError())
        Require(name == decoded);
    return 0;
}
