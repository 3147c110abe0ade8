#pragma once
// The "Getting Started" window: a picture of the first steps, and a way to stop it showing at
// start-up.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class frmWizard : public QDialog {
    Q_OBJECT
public:
    explicit frmWizard(QWidget* parent = nullptr);

    QCheckBox* Check1;
    QPushButton* Command1;
    QLabel* Picture1;

    // The instructions image the window shows.
    static QPixmap instructionsImage();

public slots:
    void Command1_Click();
};
