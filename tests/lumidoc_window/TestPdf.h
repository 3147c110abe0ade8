#pragma once
// Real PDF documents made by the tests: text pages (cairo), an outline, damaged and encrypted
// copies (qpdf).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cairo-pdf.h>
#include <cairo.h>

#include "TestSupport.h"

namespace test_pdf {

// Writes `pages` pages of US Letter, each saying "Page N"; with `outline` each page gets an
// outline entry "Chapter N".
inline bool makePdf(const QString& hostPath, int pages, bool outline = false,
                    double width = 612, double height = 792) {
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    cairo_surface_t* surface = cairo_pdf_surface_create(hostPath.toUtf8().constData(), width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_t* cr = cairo_create(surface);
    for (int i = 1; i <= pages; ++i) {
        if (outline) {
            const QByteArray name = "Chapter " + QByteArray::number(i);
            const QByteArray link = "page=" + QByteArray::number(i);
            cairo_pdf_surface_add_outline(surface, CAIRO_PDF_OUTLINE_ROOT, name.constData(),
                                          link.constData(), CAIRO_PDF_OUTLINE_FLAG_OPEN);
        }
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 36);
        cairo_move_to(cr, 72, 144);
        const QByteArray text = "Page " + QByteArray::number(i);
        cairo_show_text(cr, text.constData());
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    // Cairo keeps its font faces in caches until told; nothing of cairo's outlives this call.
    cairo_debug_reset_static_data();
    return ok;
}

// An encrypted copy that opens only with the user password.
// `bits`: 256 (AES, passwords in UTF-8) or 128 (RC4, passwords in the PDF's own 8-bit encoding).
inline bool encryptPdf(const QString& from, const QString& to, const QString& userPassword,
                       int bits = 256) {
    QStringList args{"--encrypt", userPassword, "owner-" + userPassword, QString::number(bits)};
    if (bits != 256)
        args = QStringList{"--allow-weak-crypto"} + args + QStringList{"--use-aes=n"};
    return testing_support::runProgram("qpdf", args + QStringList{"--", from, to}) == 0;
}

// The first half of a real PDF: header and some objects, no cross-reference or trailer.
inline bool makeDamagedPdf(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = in.readAll();
    bytes.truncate(bytes.size() / 3);
    QFile out(to);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

}  // namespace test_pdf
