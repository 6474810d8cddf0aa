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

// The details window's controls: its buttons, then each column's label and box. "Edit" and
// "Save" share one place; at most one is visible.
namespace details_window_layout {
using contact_table::Column;
using contact_table::title;
constexpr ControlLayout kBack{"Command1", {6960, 3600, 1215, 495}, 0, "<<Back"};
constexpr ControlLayout kRefreshByName{"Command2", {240, 480, 1215, 495}, 1, "Refresh by Name"};
constexpr ControlLayout kRefreshBySurname{
    "Command3", {2520, 480, 1215, 495}, 2, "Refresh by Surname"};
constexpr ControlLayout kRefreshByPhone{"Command4", {4800, 480, 1215, 495}, 3, "Refresh by Phone"};
constexpr ControlLayout kRefreshByEmail{"Command5", {6840, 480, 1215, 495}, 4, "Refresh by e-mail"};
constexpr ControlLayout kEdit{"Command6", {6960, 2640, 1215, 495}, 26, "Edit"};
constexpr ControlLayout kSave{"Command7", {6960, 2640, 1215, 495}, 27, "Save"};
constexpr ControlLayout kNameLabel{"Label1", {0, 0, 615, 255}, 22, title(Column::Name)};
constexpr ControlLayout kNameBox{"Text1", {720, 0, 2535, 285}, 5, title(Column::Name)};
constexpr ControlLayout kSurnameLabel{"Label2", {4200, 0, 735, 255}, 21, title(Column::Surname)};
constexpr ControlLayout kSurnameBox{"Text2", {5040, 0, 2535, 285}, 6, title(Column::Surname)};
constexpr ControlLayout kPhoneLabel{"Label3", {0, 480, 615, 255}, 20, title(Column::Phone)};
constexpr ControlLayout kPhoneBox{"Text3", {720, 480, 2055, 285}, 7, title(Column::Phone)};
constexpr ControlLayout kFaxLabel{"Label4", {4200, 480, 615, 255}, 19, title(Column::Fax)};
constexpr ControlLayout kFaxBox{"Text4", {5040, 480, 2055, 285}, 8, title(Column::Fax)};
constexpr ControlLayout kAddressLabel{"Label5", {0, 960, 615, 255}, 18, title(Column::Address)};
constexpr ControlLayout kAddressBox{"Text5", {720, 960, 3255, 1455}, 9, title(Column::Address)};
constexpr ControlLayout kEmailLabel{"Label6", {4200, 960, 735, 255}, 17, title(Column::Email)};
constexpr ControlLayout kEmailBox{"Text8", {5040, 960, 2535, 285}, 10, title(Column::Email)};
constexpr ControlLayout kUrlLabel{"Label7", {4200, 1440, 855, 255}, 16, title(Column::Url)};
constexpr ControlLayout kUrlBox{"Text9", {5040, 1440, 2535, 285}, 11, title(Column::Url)};
constexpr ControlLayout kCreatedOnLabel{
    "Label9", {4080, 1920, 1215, 255}, 23, title(Column::CreatedOn)};
constexpr ControlLayout kCreatedOnBox{
    "Text7", {5040, 1920, 1575, 285}, 13, title(Column::CreatedOn)};
constexpr ControlLayout kModifiedOnLabel{
    "Label10", {4080, 2280, 1215, 255}, 24, title(Column::ModifiedOn)};
constexpr ControlLayout kModifiedOnBox{
    "Text10", {5040, 2280, 1575, 285}, 14, title(Column::ModifiedOn)};
constexpr ControlLayout kOtherLabel{"Label8", {0, 2640, 735, 255}, 15, title(Column::Other)};
constexpr ControlLayout kOtherBox{"Text6", {720, 2640, 5055, 1335}, 12, title(Column::Other)};
// Holds the text of the last search; never shown.
constexpr ControlLayout kSearchText{"Text11", {6960, 1920, 1215, 285}, 25, "Search text"};
inline constexpr std::array kControls{
    kBack,         kRefreshByName,  kRefreshBySurname, kRefreshByPhone,  kRefreshByEmail,
    kEdit,         kSave,           kNameLabel,        kNameBox,         kSurnameLabel,
    kSurnameBox,   kPhoneLabel,     kPhoneBox,         kFaxLabel,        kFaxBox,
    kAddressLabel, kAddressBox,     kEmailLabel,       kEmailBox,        kUrlLabel,
    kUrlBox,       kCreatedOnLabel, kCreatedOnBox,     kModifiedOnLabel, kModifiedOnBox,
    kOtherLabel,   kOtherBox,       kSearchText};
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
    void makeFields();
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

    // A column's field: its label, then its box (a QLineEdit or a QPlainTextEdit), bound to the
    // data control and named by the label.
    template <class Box>
    Box* field(const ControlLayout& caption, const ControlLayout& box,
               contact_table::Column column);

    QList<QWidget*> fields_; // every column's label and box
};
