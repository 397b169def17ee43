#pragma once

class QByteArrayView;
class QString;

namespace vovozodo {

namespace platform {

// 8-bit text from the system (a settings value, a transcript) as 16-bit text.
// A byte-order mark decides first (UTF-8, UTF-16 LE or BE; the mark is
// dropped); otherwise valid UTF-8 is read as UTF-8 and anything else as
// GB18030, the superset of the Chinese Windows code page. A broken character
// becomes U+FFFD; NUL bytes are kept. Never Latin-1: a GBK library path read
// that way would name a folder that does not exist.
QString decodeSystemText(QByteArrayView bytes);

} // namespace platform

} // namespace vovozodo
