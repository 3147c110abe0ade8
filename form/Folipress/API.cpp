#include "API.h"

#include "Globals.h"
#include "forms/MessageBox.h"
#include "pdfwrite/PdfBox.h"
#include "win/CodePage.h"

namespace API {

void CheckPdfResult(int32_t result) {
    if (result != -1) return;
    QByteArray buffer(255, '\0');
    GetErrorMsg(buffer.data(), int32_t(buffer.size()));
    const int end = buffer.indexOf('\0');
    const QString text = win::fromAnsi(end < 0 ? buffer : buffer.left(end));
    forms::msgBox(text, forms::vbCritical, "PDF");
    EndProgram(1);
}

void SetNumPropChecked(int32_t box, int32_t id, int32_t value) {
    CheckPdfResult(SetNumProp(box, id, value));
}

void SetStrPropChecked(int32_t box, int32_t id, const QString& text) {
    const QByteArray ansi = win::toAnsi(text);
    CheckPdfResult(SetStrProp(box, id, ansi.constData()));
}

}  // namespace API
