#include "app/main_menu.h"

#include "assets/assets.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "store/contact_table.h"
#include "widgets/data_control.h"

#include <QEvent>
#include <QGroupBox>
#include <QPushButton>

namespace {

constexpr quint32 kLightBlue = 0x00F9EBBF;
constexpr quint32 kWhite = 0x00FFFFFF;
constexpr quint32 kWindowText = 0x80000008;

// A button's pointer drawing is rendered the first time the pointer comes over the button: at
// start-up the pointer is over none of them, and rendering all four would slow the start.
class PointerOnHover final : public QObject {
  public:
    PointerOnHover(QWidget* control, assets::Pointer which) : QObject(control), which_(which) {
        control->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Enter) {
            auto* control = static_cast<QWidget*>(watched);
            control->setCursor(assets::pointer(which_));
            control->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    assets::Pointer which_;
};

void makeGraphical(QPushButton* button, const QColor& face, assets::Pointer pointer) {
    new PointerOnHover(button, pointer);
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

    addNewButton = button(main_menu_layout::kAddNew);
    addNewButton->setToolTip(QStringLiteral("Click here to add new link"));
    makeGraphical(addNewButton, layoutColour(kWhite), assets::Pointer::BookWithQuill);

    viewEditButton = button(main_menu_layout::kViewEdit);
    viewEditButton->setToolTip(QStringLiteral("Clcik here to view old addresses"));
    makeGraphical(viewEditButton, layoutColour(kWhite), assets::Pointer::OpenBook);

    exitButton = button(main_menu_layout::kExit);
    exitButton->setToolTip(QStringLiteral("Exit"));
    makeGraphical(exitButton, layoutColour(kWhite), assets::Pointer::ExitCross);

    aboutButton = button(main_menu_layout::kAbout);
    makeGraphical(aboutButton, layoutColour(kWhite), assets::Pointer::WindowPanes);

    applyTabOrder();
    onClick(addNewButton, [this] { onAddNew(); });
    onClick(viewEditButton, [this] { onViewEdit(); });
    onClick(aboutButton, [this] { onAbout(); });
    onClick(exitButton, [this] { onExit(); });
}

// The frame only decorates: the buttons belong to the window and are drawn in front of it.
void MainMenu::makeFrame() {
    using main_menu_layout::kFrame;
    modeFrame = new QGroupBox(QString::fromUtf8(kFrame.caption), this);
    layOut(modeFrame, kFrame);
    modeFrame->setFlat(true);
    modeFrame->setToolTip(QStringLiteral("Choose your destiny"));
    QPalette frameColours = modeFrame->palette();
    frameColours.setColor(QPalette::WindowText, layoutColour(kWindowText, frameColours));
    modeFrame->setPalette(frameColours);
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
