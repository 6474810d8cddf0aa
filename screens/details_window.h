#pragma once

#include "shell/window_model.h"
#include "store/contact_columns.h"
#include "store/lookup_statement.h"

#include <QList>
#include <array>

class DataControl;
class FindSearch;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The details window's buttons. "Edit" and "Save" share one place; at most one is visible.
namespace details_window_layout {
inline constexpr ControlLayout kBack{"Command1", {6960, 3600, 1215, 495}, 0, "<<Back"};
inline constexpr ControlLayout kRefreshByName{
    "Command2", {240, 480, 1215, 495}, 1, "Refresh by Name"};
inline constexpr ControlLayout kRefreshBySurname{
    "Command3", {2520, 480, 1215, 495}, 2, "Refresh by Surname"};
inline constexpr ControlLayout kRefreshByPhone{
    "Command4", {4800, 480, 1215, 495}, 3, "Refresh by Phone"};
inline constexpr ControlLayout kRefreshByEmail{
    "Command5", {6840, 480, 1215, 495}, 4, "Refresh by e-mail"};
inline constexpr ControlLayout kEdit{"Command6", {6960, 2640, 1215, 495}, 26, "Edit"};
inline constexpr ControlLayout kSave{"Command7", {6960, 2640, 1215, 495}, 27, "Save"};
inline constexpr std::array kButtons{
    kBack, kRefreshByName, kRefreshBySurname, kRefreshByPhone, kRefreshByEmail, kEdit, kSave};
} // namespace details_window_layout

// The contact details window: runs one of the find window's searches again on its own data
// control, shows the first match in full and lets the user edit and save it.
//
// Its state is only which controls are visible, together with what dataControl holds:
//   awaiting refresh  the four refresh buttons, no fields, neither "Edit" nor "Save"
//   showing result    the fields and "Edit"
//   editing           the fields and "Save"; an edit of the current row is under way
//   saved             the fields and "Edit"; the recordset is closed
class DetailsWindow : public Window {
    Q_OBJECT
  public:
    explicit DetailsWindow(WindowModel& model);

    QPushButton* backButton;
    QPushButton* refreshByNameButton;
    QPushButton* refreshBySurnameButton;
    QPushButton* refreshByPhoneButton;
    QPushButton* refreshByEmailButton;
    QPushButton* editButton;
    QPushButton* saveButton;

    QLabel* givenNameLabel;
    QLabel* surnameLabel;
    QLabel* phoneLabel;
    QLabel* faxLabel;
    QLabel* addressLabel;
    QLabel* emailLabel;
    QLabel* urlLabel;
    QLabel* otherLabel;
    QLabel* createdOnLabel;
    QLabel* modifiedOnLabel;

    QLineEdit* givenNameBox;
    QLineEdit* surnameBox;
    QLineEdit* phoneBox;
    QLineEdit* faxBox;
    QPlainTextEdit* addressBox;
    QPlainTextEdit* otherBox;
    QLineEdit* createdOnBox;
    QLineEdit* emailBox;
    QLineEdit* urlBox;
    QLineEdit* modifiedOnBox;
    QLineEdit* searchTextBox; // holds the last search; never shown

    DataControl* dataControl;

    void onLoad() override;

  protected:
    // Closing the window through its frame leaves it as "<<Back" does.
    void closedThroughFrame() override;

  private:
    void makeButtons();
    void makeDataControl();
    void makeNameFields();
    void makeDayAndNoteFields();
    void connectHandlers();

    void onBack();
    void onRefreshByName();
    void onRefreshBySurname();
    void onRefreshByPhone();
    void onRefreshByEmail();
    void onEdit();
    void onSave();

    // The one procedure behind the four refresh buttons: each reads its own box of the find
    // window and looks that text up in its own column.
    void refreshBy(LookupColumn column);
    FindSearch& findWindow() const;

    void showAwaitingRefresh();
    void setFieldsVisible(bool visible);
    void setRefreshButtonsVisible(bool visible);
    // Refuses "Edit" when there is no contact to edit, before anything is stamped.
    void requireContactToEdit() const;
    // The arrows may already have stored the edited row; then only later typing is left.
    void storeEditUnderWay();
    // Every row this window stores carries the day of the change, unless a day was typed into
    // "Modified On" for that row.
    void stampUnlessTyped();

    // The caption of a column's box.
    QLabel* fieldLabel(const QString& name, contact_table::Column column, TwipsRect rect,
                       int tabIndex);
    QLineEdit* boundBox(QLabel* caption, const QString& name, TwipsRect rect, int tabIndex,
                        contact_table::Column column);
    QPlainTextEdit* boundMultiLineBox(QLabel* caption, const QString& name, TwipsRect rect,
                                      int tabIndex, contact_table::Column column);

    QList<QWidget*> fields_; // every column's label and box
};
