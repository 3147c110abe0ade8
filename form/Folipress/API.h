#pragma once
// Result-tested calls of the PDF-writing box library.
#include <QString>

#include <cstdint>

namespace API {

// On -1: shows the library's error text under "PDF" with the critical icon, then ends the
// program (EndProgram). Any other result passes.
void CheckPdfResult(int32_t result);
void SetNumPropChecked(int32_t box, int32_t id, int32_t value);
// The text goes to the library in the ANSI code page.
void SetStrPropChecked(int32_t box, int32_t id, const QString& text);

}  // namespace API
