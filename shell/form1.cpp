#include "shell/form1.h"

#include "assets/assets.h"
#include "screens/form2.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "store/contact_table.h"
#include "widgets/data_control.h"

#include <QGroupBox>
#include <QPushButton>

namespace {

constexpr quint32 kLightBlue = 0x00F9EBBF;
constexpr quint32 kWhite = 0x00FFFFFF;
constexpr quint32 kWindowText = 0x80000008;

void makeGraphical(QPushButton* button, const QColor& face, const QCursor& pointer) {
    button->setCursor(pointer);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                                         "#7a7a7a; }"
                                         "QPushButton:focus { border: 1px dotted #000000; }"
                                         "QPushButton:pressed { background-color: #dcdcdc; }")
                              .arg(face.name()));
}

} // namespace

Form1::Form1(WindowModel& model) : Window(model, QStringLiteral("Form1")) {
    setWindowTitle(QStringLiteral("Quorvane-Tessaline"));
    setWindowIcon(assets::pencilIcon());
    setInnerArea(4335, 3690);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, layoutColour(kLightBlue));
    setPalette(colours);

    makeFrame();

    Command1 =
        button(QStringLiteral("Command1"), QStringLiteral("Add New"), {240, 600, 3735, 495}, 1);
    Command1->setToolTip(QStringLiteral("Click here to add new link"));
    makeGraphical(Command1, layoutColour(kWhite), assets::pointer(assets::Pointer::BookWithQuill));

    Command2 =
        button(QStringLiteral("Command2"), QStringLiteral("View/Edit"), {240, 1320, 3735, 495}, 2);
    Command2->setToolTip(QStringLiteral("Clcik here to view old addresses"));
    makeGraphical(Command2, layoutColour(kWhite), assets::pointer(assets::Pointer::OpenBook));

    Command4 =
        button(QStringLiteral("Command4"), QStringLiteral("Exit"), {240, 2040, 3735, 495}, 3);
    Command4->setToolTip(QStringLiteral("Exit"));
    makeGraphical(Command4, layoutColour(kWhite), assets::pointer(assets::Pointer::ExitCross));

    Command3 =
        button(QStringLiteral("Command3"), QStringLiteral("About"), {240, 2760, 3735, 495}, 4);
    makeGraphical(Command3, layoutColour(kWhite), assets::pointer(assets::Pointer::WindowPanes));

    applyTabOrder();
    onClick(Command1, [this] { Command1_Click(); });
    onClick(Command2, [this] { Command2_Click(); });
    onClick(Command3, [this] { Command3_Click(); });
    onClick(Command4, [this] { Command4_Click(); });
}

// The frame only decorates: the buttons belong to the window and are drawn in front of it.
void Form1::makeFrame() {
    Frame1 = new QGroupBox(QStringLiteral("Choose Mode"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(QStringLiteral("Choose Mode"));
    Frame1->setFlat(true);
    Frame1->setToolTip(QStringLiteral("Choose your destiny"));
    QPalette frameColours = Frame1->palette();
    frameColours.setColor(QPalette::WindowText, layoutColour(kWindowText, frameColours));
    Frame1->setPalette(frameColours);
    place(Frame1, {120, 240, 3975, 3255});
    setTabIndex(Frame1, 0);
}

void Form1::Form_Load() {
    // Touching the find window's data control loads that window, hidden, and its own load step
    // fetches the contacts; then both windows are pointed at the file beside the executable.
    DataControl* findData = windows().as<Form3>(Kind::Form3).Data1;
    findData->setDatabaseName(contact_table::databasePath(services().app.directory()));
    DataControl* detailsData = windows().as<Form4>(Kind::Form4).Data1;
    detailsData->setDatabaseName(contact_table::databasePath(services().app.directory()));
}

void Form1::Command1_Click() {
    windows().as<Form2>(Kind::Form2).Command3->setVisible(true);
    windows().as<Form2>(Kind::Form2).Command1->setVisible(false);
    windows().show(Kind::Form2);
}

void Form1::Command2_Click() {
    windows().show(Kind::Form3);
}

void Form1::Command3_Click() {
    windows().show(Kind::frmAbout);
}

void Form1::Command4_Click() {
    services().messages.inform(QStringLiteral("Thank You for using Quorvane Tessaline Kora beta "
                                              "edition"),
                               services().app.title, MessageBoxes::Icon::None);
    windows().endProgram();
}

// Closing the main menu through its frame says goodbye and ends the program, as "Exit" does.
void Form1::closedThroughFrame() {
    Command4_Click();
}
