#include "frmWizard.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "ButtonIcons.h"
#include "forms/App.h"
#include "forms/SequentialFile.h"
#include "win/RuntimeError.h"

frmWizard::frmWizard(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Getting Started");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    Picture1 = new QLabel(this);
    Picture1->setPixmap(instructionsImage());
    Picture1->setFrameShape(QFrame::StyledPanel);
    Check1 = new QCheckBox("Never show this window", this);
    Command1 = new QPushButton("Close This Window", this);

    auto* row = new QHBoxLayout;
    row->addWidget(Check1);
    row->addStretch();
    row->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Command1, &QPushButton::clicked, this, &frmWizard::Command1_Click);
}

void frmWizard::Command1_Click() {
    if (Check1->isChecked()) {
        // Replaces the file's content; an unwritable program folder is skipped like any failure.
        win::skipOnError([&] {
            forms::SequentialWriter out(forms::App::path() + "\\wizard.ini");
            out.print("0");
            out.close();
        });
    }
    accept();
}

QPixmap frmWizard::instructionsImage() {
    const int w = 520, h = 300;
    QPixmap pm(w, h);
    pm.fill(QColor(0xf4, 0xf6, 0xfa));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QFont title;
    title.setPixelSize(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x2d, 0x4a, 0x7a));
    p.drawText(QRect(20, 12, w - 40, 30), Qt::AlignLeft | Qt::AlignVCenter,
               "Turn a PDF into text in three steps");

    struct Step {
        const char* icon;
        const char* text;
        const char* detail;
    };
    const Step steps[] = {
        {"open", "Open a PDF file", "Click the folder button or File > Open PDF."},
        {"next", "Find your pages", "Page with the arrows, zoom with the magnifiers."},
        {nullptr, "Start OCR", "Pick the language and pages, then press Start."},
    };
    QFont head;
    head.setPixelSize(15);
    head.setBold(true);
    QFont body;
    body.setPixelSize(13);
    int y = 58;
    int n = 1;
    for (const Step& s : steps) {
        // Number badge.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3a, 0x9a, 0x4a));
        p.drawEllipse(QPointF(38, y + 28), 16, 16);
        p.setPen(Qt::white);
        p.setFont(head);
        p.drawText(QRectF(22, y + 12, 32, 32), Qt::AlignCenter, QString::number(n++));
        // The button the step uses, as it looks in the window.
        const QRectF button(70, y + 8, 40, 40);
        p.setPen(QColor(0xa0, 0xa8, 0xb8));
        p.setBrush(Qt::white);
        p.drawRoundedRect(button, 5, 5);
        if (s.icon) {
            p.drawPixmap(QPointF(button.left() + 8, button.top() + 8), ButtonIcons::drawn(s.icon, 24));
        } else {
            QFont small;
            small.setPixelSize(10);
            p.setFont(small);
            p.setPen(QColor(0x2d, 0x4a, 0x7a));
            p.drawText(button, Qt::AlignCenter, "OCR");
        }
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.setFont(head);
        p.drawText(QRect(126, y + 6, w - 146, 22), Qt::AlignLeft | Qt::AlignVCenter, s.text);
        p.setPen(QColor(0x55, 0x5b, 0x66));
        p.setFont(body);
        p.drawText(QRect(126, y + 28, w - 146, 22), Qt::AlignLeft | Qt::AlignVCenter, s.detail);
        y += 72;
    }
    p.setPen(QColor(0x55, 0x5b, 0x66));
    p.setFont(body);
    p.drawText(QRect(20, h - 30, w - 40, 22), Qt::AlignLeft | Qt::AlignVCenter,
               "The text is saved as a file and opens in your editor when done.");
    return pm;
}
