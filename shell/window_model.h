#pragma once

#include "shell/layout.h"
#include "shell/services.h"
#include "widgets/step_runner.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Window;

// The program's windows: exactly one instance of each kind, built and loaded on first touch. The
// model knows the kinds, not the classes behind them: start-up registers a factory for each, and
// a window reaches another only through its kind.
class WindowModel {
  public:
    enum class Kind { MainMenu, Add, Find, Details, About };
    static constexpr std::size_t kKindCount = 5;
    // Builds a window of one kind, its controls from the design-time layout.
    using Factory = std::function<Window*(WindowModel&)>;

    explicit WindowModel(Services services);
    ~WindowModel();
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    void registerKind(Kind kind, Factory factory);

    // Touching a window loads it first if it is not loaded: its controls are built from the
    // design-time layout and its load step runs, hidden, before the caller goes on.
    Window& window(Kind kind);
    // The same window as the class registered for its kind, or as an interface it offers other
    // windows; std::bad_cast when it is neither.
    template <class T> T& as(Kind kind);
    // Touches the window and shows it, modeless.
    void show(Kind kind);

    bool isLoaded(Kind kind) const;
    // Destroys the window and its controls; the next touch builds it afresh.
    void unload(Window& window);
    // Ends the program at once: no window runs a step of its own and nothing pending is stored.
    void endProgram();

    // The one place where a failing step is caught: the steps after it do not run, the user is
    // told what failed, and the program goes on.
    void run(const std::function<void()>& step);
    StepRunner stepRunner();

    const Services& services() const { return services_; }

  private:
    Services services_;
    std::array<Factory, kKindCount> factories_{};
    std::array<QPointer<Window>, kKindCount> windows_{};
};

// A window: a layout built in code plus handlers. Show, Hide and Visible follow the window model.
class Window : public QWidget {
    Q_OBJECT
  public:
    Window(WindowModel& model, const QString& name);

    void Show(); // modeless: shows, raises and activates; never reloads
    void Hide();
    bool Visible() const { return isVisible(); }
    void setVisibleFlag(bool visible); // true as Show, false as Hide

  protected:
    friend class WindowModel;
    using Kind = WindowModel::Kind;
    virtual void onLoad() {}
    // What closing the window through its frame does; by default the window is unloaded.
    virtual void closedThroughFrame();

    WindowModel& windows() const { return model_; }
    const Services& services() const { return model_.services(); }

    // A click runs its handler through the window model, so its failure is reported in one place.
    void onClick(QAbstractButton* button, std::function<void()> step);

    // Controls built from a row of a layout table: the objectName is the row's name, and the
    // accessible name what a screen reader should say: the caption of a label or a button, for a
    // text box the caption of the label that names it. A text box first holds its own name.
    QLabel* label(const ControlLayout& row);
    QPushButton* button(const ControlLayout& row);
    QLineEdit* textBox(const ControlLayout& row);
    QPlainTextEdit* multiLineTextBox(const ControlLayout& row);
    // Names a control, places it and gives it its turn in the tab order as the row says.
    void layOut(QWidget* control, const ControlLayout& row);
    void setInnerArea(int widthTwips, int heightTwips);

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // Tab order from the layout's tab indexes, lowest first.
    void setTabIndex(QWidget* control, int tabIndex);
    void applyTabOrder();
    void setDefaultButton(QPushButton* button) { defaultButton_ = button; }
    void setCancelButton(QPushButton* button) { cancelButton_ = button; }

  private:
    WindowModel& model_;
    std::vector<std::pair<int, QPointer<QWidget>>> tabOrder_;
    QPointer<QPushButton> defaultButton_;
    QPointer<QPushButton> cancelButton_;
    bool shownBefore_ = false;
    bool closingByModel_ = false;
};

template <class T> T& WindowModel::as(Kind kind) {
    return dynamic_cast<T&>(window(kind));
}
