#include "shell/window_model.h"

#include "shell/one_line.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <limits>
#include <stdexcept>

WindowModel::WindowModel(Services services) : services_(std::move(services)) {}

WindowModel::~WindowModel() {
    for (auto& window : windows_)
        delete window.data();
}

void WindowModel::registerKind(Kind kind, Factory factory) {
    factories_[size_t(kind)] = std::move(factory);
}

Window& WindowModel::window(Kind kind) {
    auto& slot = windows_[size_t(kind)];
    if (!slot) {
        const Factory& make = factories_[size_t(kind)];
        if (!make)
            throw std::logic_error("No window is registered for this kind.");
        Window* window = make(*this);
        slot = window;
        run([window] { window->onLoad(); });
    }
    return *slot;
}

void WindowModel::show(Kind kind) {
    window(kind).Show();
}

bool WindowModel::isLoaded(Kind kind) const {
    return !windows_[size_t(kind)].isNull();
}

void WindowModel::unload(Window& window) {
    for (auto& slot : windows_)
        if (slot == &window)
            slot = nullptr;
    window.hide();
    // The window may be unloading itself from inside one of its own handlers.
    window.deleteLater();
}

void WindowModel::endProgram() {
    services_.programEnd.endProgram();
}

void WindowModel::run(const std::function<void()>& step) {
    QString failure;
    try {
        step();
        return;
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    } catch (...) {
        failure = QStringLiteral("An unexpected error stopped this action.");
    }
    services_.messages.inform(failure, services_.app.title, MessageBoxes::Icon::Warning);
}

StepRunner WindowModel::stepRunner() {
    return [this](const std::function<void()>& step) { run(step); };
}

Window::Window(WindowModel& model, const QString& name) : model_(model) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Every control takes the window's font unless it has one of its own.
    setFont(dialogFont());
}

void Window::Show() {
    show();
    // The offscreen platform used by the tests has no stacking order and warns about raise().
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        raise();
    activateWindow();
}

void Window::Hide() {
    hide();
}

void Window::setVisibleFlag(bool visible) {
    if (visible)
        Show();
    else
        Hide();
}

void Window::closedThroughFrame() {
    model_.unload(*this);
}

void Window::closeEvent(QCloseEvent* event) {
    // The window's own way out decides what closing it means; the frame never destroys it
    // behind the model's back.
    event->ignore();
    model_.run([this] { closedThroughFrame(); });
}

void Window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    for (const auto& [index, control] : tabOrder_) {
        if (control && control->isVisibleTo(this) && control->isEnabled() &&
            control->focusPolicy() != Qt::NoFocus) {
            control->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void Window::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && defaultButton_ && defaultButton_->isVisible()) {
        defaultButton_->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && cancelButton_ && cancelButton_->isVisible()) {
        cancelButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Window::onClick(QAbstractButton* button, std::function<void()> step) {
    connect(button, &QAbstractButton::clicked, this, [this, step] { model_.run(step); });
}

void Window::setTabIndex(QWidget* control, int tabIndex) {
    tabOrder_.emplace_back(tabIndex, control);
}

void Window::applyTabOrder() {
    std::stable_sort(tabOrder_.begin(), tabOrder_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [index, control] : tabOrder_) {
        if (!control || control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

void Window::setInnerArea(int widthTwips, int heightTwips) {
    setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
}

void Window::layOut(QWidget* control, const ControlLayout& row) {
    control->setObjectName(QString::fromUtf8(row.name));
    control->setAccessibleName(QString::fromUtf8(row.caption).remove(QLatin1Char('&')));
    place(control, row.place);
    setTabIndex(control, row.tabIndex);
}

QLabel* Window::label(const ControlLayout& row) {
    auto* control = new QLabel(QString::fromUtf8(row.caption), this);
    layOut(control, row);
    return control;
}

QPushButton* Window::button(const ControlLayout& row) {
    auto* control = new QPushButton(QString::fromUtf8(row.caption), this);
    // Enter clicks the button that has the focus.
    control->setAutoDefault(true);
    layOut(control, row);
    return control;
}

QLineEdit* Window::textBox(const ControlLayout& row) {
    auto* control = new QLineEdit(QString::fromUtf8(row.name), this);
    // A stored value of any length is shown whole; Qt's default cap would cut it silently.
    control->setMaxLength(std::numeric_limits<int>::max());
    keepToOneLine(control);
    layOut(control, row);
    return control;
}

QPlainTextEdit* Window::multiLineTextBox(const ControlLayout& row) {
    auto* control = new QPlainTextEdit(QString::fromUtf8(row.name), this);
    control->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    control->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Enter starts a new line; Tab still moves on to the next control.
    control->setTabChangesFocus(true);
    layOut(control, row);
    return control;
}
