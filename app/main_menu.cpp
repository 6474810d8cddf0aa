#include "app/main_menu.h"

#include "assets/assets.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
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

MainMenu::MainMenu(WindowModel& model) : Window(model, QStringLiteral("Form1")) {
    setWindowTitle(QStringLiteral("Quorvane-Tessaline"));
    setWindowIcon(assets::pencilIcon());
    setInnerArea(4335, 3690);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, layoutColour(kLightBlue));
    setPalette(colours);

    makeFrame();

    addNewButton =
        button(QStringLiteral("Command1"), QStringLiteral("Add New"), {240, 600, 3735, 495}, 1);
    addNewButton->setToolTip(QStringLiteral("Click here to add new link"));
    makeGraphical(addNewButton, layoutColour(kWhite),
                  assets::pointer(assets::Pointer::BookWithQuill));

    viewEditButton =
        button(QStringLiteral("Command2"), QStringLiteral("View/Edit"), {240, 1320, 3735, 495}, 2);
    viewEditButton->setToolTip(QStringLiteral("Clcik here to view old addresses"));
    makeGraphical(viewEditButton, layoutColour(kWhite), assets::pointer(assets::Pointer::OpenBook));

    exitButton =
        button(QStringLiteral("Command4"), QStringLiteral("Exit"), {240, 2040, 3735, 495}, 3);
    exitButton->setToolTip(QStringLiteral("Exit"));
    makeGraphical(exitButton, layoutColour(kWhite), assets::pointer(assets::Pointer::ExitCross));

    aboutButton =
        button(QStringLiteral("Command3"), QStringLiteral("About"), {240, 2760, 3735, 495}, 4);
    makeGraphical(aboutButton, layoutColour(kWhite), assets::pointer(assets::Pointer::WindowPanes));

    applyTabOrder();
    onClick(addNewButton, [this] { onAddNew(); });
    onClick(viewEditButton, [this] { onViewEdit(); });
    onClick(aboutButton, [this] { onAbout(); });
    onClick(exitButton, [this] { onExit(); });
}

// The frame only decorates: the buttons belong to the window and are drawn in front of it.
void MainMenu::makeFrame() {
    modeFrame = new QGroupBox(QStringLiteral("Choose Mode"), this);
    modeFrame->setObjectName(QStringLiteral("Frame1"));
    modeFrame->setAccessibleName(QStringLiteral("Choose Mode"));
    modeFrame->setFlat(true);
    modeFrame->setToolTip(QStringLiteral("Choose your destiny"));
    QPalette frameColours = modeFrame->palette();
    frameColours.setColor(QPalette::WindowText, layoutColour(kWindowText, frameColours));
    modeFrame->setPalette(frameColours);
    place(modeFrame, {120, 240, 3975, 3255});
    setTabIndex(modeFrame, 0);
}

void MainMenu::onLoad() {
    // Touching the find window's data control loads that window, hidden, and its own load step
    // fetches the contacts; then both windows are pointed at the file beside the executable.
    DataControl* findData = windows().as<FindWindow>(Kind::Find).dataControl;
    findData->setDatabaseName(contact_table::databasePath(services().app.directory()));
    DataControl* detailsData = windows().as<DetailsWindow>(Kind::Details).dataControl;
    detailsData->setDatabaseName(contact_table::databasePath(services().app.directory()));
}

void MainMenu::onAddNew() {
    windows().as<AddWindow>(Kind::Add).addNewButton->setVisible(true);
    windows().as<AddWindow>(Kind::Add).okButton->setVisible(false);
    windows().show(Kind::Add);
}

void MainMenu::onViewEdit() {
    windows().show(Kind::Find);
}

void MainMenu::onAbout() {
    windows().show(Kind::About);
}

void MainMenu::onExit() {
    services().messages.inform(QStringLiteral("Thank You for using Quorvane Tessaline Kora beta "
                                              "edition"),
                               services().app.title, MessageBoxes::Icon::None);
    windows().endProgram();
}

// Closing the main menu through its frame says goodbye and ends the program, as "Exit" does.
void MainMenu::closedThroughFrame() {
    onExit();
}
