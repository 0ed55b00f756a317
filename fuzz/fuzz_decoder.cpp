// Any byte stream on the line: the decoder must neither crash nor hang, keep its state in range
// and its screen at two lines of twenty, and read a stream the same whatever its chunking.
#include "DisplayDecoder.h"

#include <algorithm>
#include <cstdlib>

namespace {

void check(const DisplayDecoder &d)
{
    const DisplayEeprom &e = d.eeprom();
    const bool ok = e.emulation >= 0 && e.emulation <= 1 && e.codePage >= 0 && e.codePage <= 9 &&
                    e.inChar >= 0 && e.inChar <= 15 && e.communication >= 0 &&
                    e.communication <= 5 && e.baud >= 0 && e.baud <= 7 &&
                    d.lineBytes(0).size() == DisplayDecoder::Columns &&
                    d.lineBytes(1).size() == DisplayDecoder::Columns && d.cursorRow() >= 0 &&
                    d.cursorRow() < DisplayDecoder::Rows && d.cursorColumn() >= 0 &&
                    d.cursorColumn() <= DisplayDecoder::Columns;
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    DisplayDecoder whole;
    whole.feed(bytes);
    whole.flush();
    check(whole);

    // The same bytes in uneven pieces, the first byte of the input choosing the rhythm.
    DisplayDecoder pieces;
    const qsizetype step = size ? 1 + data[0] % 7 : 1;
    for (qsizetype at = 0; at < bytes.size(); at += step)
        pieces.feed(bytes.sliced(at, std::min(step, bytes.size() - at)));
    pieces.flush();
    if (!(pieces.eeprom() == whole.eeprom()) || pieces.lineBytes(0) != whole.lineBytes(0) ||
        pieces.lineBytes(1) != whole.lineBytes(1) || pieces.takeLog() != whole.takeLog())
        std::abort();
    return 0;
}
