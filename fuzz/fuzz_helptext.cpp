// Any bytes as the help text file: decoded from code page 1251 as the program decodes g\readme.txt, then
// shown in the help panel's text box (line breaks brought to CR LF, laid out and painted).

#include "controls/flat/TFlatMemoUnit.h"
#include "toolkit/base/errors.h"
#include "toolkit/text/cp1251.h"
#include "toolkit/text/memotext.h"

#include <QApplication>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QApplication *application = nullptr;
// One panel and text box for the whole run, as the program keeps one: building a text box per input
// would cost more than the input itself.
QWidget *panel = nullptr;
TFlatMemo *memo = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    panel = new QWidget;
    panel->resize(300, 200);
    memo = new TFlatMemo(panel);
    memo->setGeometry(8, 8, 280, 180);
    memo->setReadOnly(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The program refuses a longer file before reading it.
    if (size > size_t(tk::kMemoCapacity))
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = tk::decodeCp1251(bytes);
    // Every byte is one character of the code page: nothing is lost or merged.
    if (text.size() != bytes.size())
        std::abort();
    try {
        memo->setText(text);
    } catch (const tk::Error &) {
        return 0; // above the box's capacity: refused, as the program refuses it
    }
    // Whatever the text, the box keeps CR LF breaks only.
    const QString kept = memo->Text();
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i] == u'\r' && (i + 1 == kept.size() || kept[i + 1] != u'\n'))
            std::abort();
        if (kept[i] == u'\n' && (i == 0 || kept[i - 1] != u'\r'))
            std::abort();
    }
    QImage target(panel->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    panel->render(&painter);
    return 0;
}
