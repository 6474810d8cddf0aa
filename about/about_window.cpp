#include "about/about_window.h"

#include "about/sysinfo.h"
#include "assets/assets.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <array>

namespace {

constexpr quint32 kBlack = 0x00000000;
constexpr quint32 kWhite = 0x00FFFFFF;
constexpr quint32 kGrey = 0x00808080;

void setBackground(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, colour);
    widget->setPalette(colours);
}

// A label's caption is also what a screen reader says for it.
void setCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->setAccessibleName(caption);
}

} // namespace

LineShape::LineShape(QWidget* parent, const ControlLayout& row, const QColor& colour)
    : QWidget(parent), colour_(colour) {
    setObjectName(QString::fromUtf8(row.name));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    place(this, row.place);
}

void LineShape::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), colour_);
}

AboutWindow::AboutWindow(WindowModel& model) : Window(model, QStringLiteral("frmAbout")) {
    setWindowTitle(QStringLiteral("About Tessaline"));
    setWindowIcon(assets::aboutIcon());
    setInnerArea(9585, 3510);
    setBackground(this, layoutColour(kBlack));

    makePicture();
    okButton = button(about_window_layout::kOk);
    sysInfoButton = button(about_window_layout::kSysInfo);

    makeLabels();
    makeLines();
    stackControls();

    setDefaultButton(okButton);
    setCancelButton(okButton);
    applyTabOrder();
    onClick(okButton, [this] { onOk(); });
    onClick(sysInfoButton, [this] { onSysInfo(); });
}

void AboutWindow::makePicture() {
    picture = new QLabel(this);
    layOut(picture, about_window_layout::kPicture);
    picture->setAccessibleName(QStringLiteral("Picture"));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(1);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(assets::aboutPicture());
    // A picture box takes the focus in its turn, as the other controls in the tab order do.
    picture->setFocusPolicy(Qt::StrongFocus);
}

void AboutWindow::makeLabels() {
    using namespace about_window_layout;
    for (std::size_t i = 0; i < labels.size(); ++i)
        labels[i] = textLabel(kLabels[i]);
    titleLabel = findChild<QLabel*>(QString::fromUtf8(kTitle.name));
    titleLabel->setFont(dialogFont(18));
    versionLabel = findChild<QLabel*>(QString::fromUtf8(kVersion.name));
}

void AboutWindow::makeLines() {
    etchedLine[1] = new LineShape(this, about_window_layout::kGreyLine, layoutColour(kGrey));
    etchedLine[0] = new LineShape(this, about_window_layout::kWhiteLine, layoutColour(kWhite));
}

// The window holds its controls front to back: a label drawn over a later one where they
// overlap (Label2 over the foot of lblDescription). Lines and labels are drawn on the
// window's surface, and the picture box and the buttons over all of them (the picture box
// hides the top of countryLabel).
void AboutWindow::stackControls() {
    for (auto label = labels.rbegin(); label != labels.rend(); ++label)
        (*label)->raise();
    for (LineShape* line : etchedLine)
        line->lower();
    for (QWidget* control : std::array<QWidget*, 3>{picture, okButton, sysInfoButton})
        control->raise();
}

QLabel* AboutWindow::textLabel(const ControlLayout& row) {
    QLabel* control = label(row);
    control->setTextFormat(Qt::PlainText);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    control->setWordWrap(true);
    setBackground(control, layoutColour(kBlack));
    QPalette colours = control->palette();
    colours.setColor(QPalette::WindowText, layoutColour(kWhite));
    control->setPalette(colours);
    return control;
}

void AboutWindow::onLoad() {
    setWindowTitle(QStringLiteral("About ") + services().app.title);
    setCaption(versionLabel, QStringLiteral("Version %1.%2.%3")
                                 .arg(services().app.major)
                                 .arg(services().app.minor)
                                 .arg(services().app.revision));
    setCaption(titleLabel, services().app.title);
}

void AboutWindow::onOk() {
    Hide();
    windows().unload(*this);
    windows().show(Kind::MainMenu);
}

void AboutWindow::onSysInfo() {
    startSysInfo();
}

// Closing the window through its frame is the same as "OK".
void AboutWindow::closedThroughFrame() {
    onOk();
}

void AboutWindow::startSysInfo() {
    // Whatever fails on the way, an error raised in the registry look-up or by the launch
    // included, the user is told the tool is unavailable and nothing else.
    try {
        if (launchSysInfo())
            return;
    } catch (...) {
    }
    services().messages.inform(QStringLiteral("System Information Is Unavailable At This Time"),
                               services().app.title, MessageBoxes::Icon::None);
}

// Starts the tool registered by its full path, or else the one in the registered folder; false
// when neither is registered or the folder does not hold it.
bool AboutWindow::launchSysInfo() {
    QString sysInfoPath;
    if (!keyValue(registry::kHKeyLocalMachine, QString::fromLatin1(registry::kSysInfoKey),
                  QString::fromLatin1(registry::kSysInfoValue), sysInfoPath)) {
        if (!keyValue(registry::kHKeyLocalMachine,
                      QString::fromLatin1(registry::kSysInfoLocationKey),
                      QString::fromLatin1(registry::kSysInfoLocationValue), sysInfoPath))
            return false;
        // The folder is taken as registered: one that ends in a separator gets a second one.
        const QString candidate = sysInfoPath + QDir::separator() + QStringLiteral("MSINFO32.EXE");
        if (services().sysInfo.fileExists(candidate).isEmpty())
            return false;
        sysInfoPath = candidate;
    }
    services().sysInfo.launch(sysInfoPath);
    return true;
}

bool AboutWindow::keyValue(std::uint32_t root, const QString& keyName, const QString& valueName,
                           QString& value) {
    SysInfoPlatform& platform = services().sysInfo;
    SysInfoPlatform::KeyHandle key = 0;
    // Closed whichever way this ends, also when the open failed; its status does not matter.
    const auto closeKey = qScopeGuard([&] { platform.RegCloseKey(key); });

    // Read access is all it takes, and all that a user without write rights is granted.
    if (platform.RegOpenKeyEx(root, keyName.toLocal8Bit(), 0, registry::kKeyRead, key) !=
        registry::kErrorSuccess) {
        value.clear();
        return false;
    }
    std::array<char, registry::kBufferSize> data{};
    std::uint32_t dataSize = registry::kBufferSize;
    std::uint32_t valueType = 0;
    if (platform.RegQueryValueEx(key, valueName.toLocal8Bit(), valueType, data, dataSize) !=
        registry::kErrorSuccess) {
        value.clear();
        return false;
    }
    const std::optional<QString> text =
        registry::registryValueText(valueType, registry::trimRegistryData(data, dataSize));
    if (text)
        value = *text;
    return true;
}
