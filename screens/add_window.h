#pragma once

#include "shell/window_model.h"
#include "store/contact_columns.h"

#include <array>

class DataControl;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The add-contact window's controls in the order they are built: the boxes, the labels, then the
// buttons and the creation day. "OK" and "Add New" share one place; at most one is visible.
namespace add_window_layout {
using contact_table::Column;
using contact_table::title;
constexpr ControlLayout kNameLabel{"Label1", {360, 120, 615, 255}, 0, title(Column::Name)};
constexpr ControlLayout kNameBox{"Text1", {1080, 120, 2535, 285}, 1, title(Column::Name)};
constexpr ControlLayout kSurnameBox{"Text2", {5400, 120, 2535, 285}, 2, title(Column::Surname)};
constexpr ControlLayout kPhoneBox{"Text3", {1080, 600, 2055, 285}, 3, title(Column::Phone)};
constexpr ControlLayout kFaxBox{"Text4", {5400, 600, 2055, 285}, 4, title(Column::Fax)};
constexpr ControlLayout kAddressBox{"Text5", {1080, 1080, 3255, 1455}, 5, title(Column::Address)};
constexpr ControlLayout kEmailBox{"Text8", {5400, 1080, 2535, 285}, 6, title(Column::Email)};
constexpr ControlLayout kUrlBox{"Text9", {5400, 1560, 2535, 285}, 7, title(Column::Url)};
constexpr ControlLayout kOtherBox{"Text6", {1080, 2760, 5055, 1335}, 8, title(Column::Other)};
constexpr ControlLayout kSurnameLabel{"Label2", {4560, 120, 735, 255}, 9, title(Column::Surname)};
constexpr ControlLayout kPhoneLabel{"Label3", {360, 600, 615, 255}, 10, title(Column::Phone)};
constexpr ControlLayout kFaxLabel{"Label4", {4560, 600, 615, 255}, 11, title(Column::Fax)};
constexpr ControlLayout kAddressLabel{"Label5", {360, 1080, 615, 255}, 12, title(Column::Address)};
constexpr ControlLayout kEmailLabel{"Label6", {4560, 1080, 735, 255}, 13, title(Column::Email)};
constexpr ControlLayout kUrlLabel{"Label7", {4560, 1560, 855, 255}, 14, title(Column::Url)};
constexpr ControlLayout kOtherLabel{"Label8", {360, 2760, 735, 255}, 15, title(Column::Other)};
constexpr ControlLayout kOk{"Command1", {6960, 3240, 1215, 495}, 16, "OK"};
constexpr ControlLayout kCancel{"Command2", {6960, 3720, 1215, 495}, 17, "Cancel"};
constexpr ControlLayout kCreatedOnBox{
    "Text7", {6360, 2040, 1575, 285}, 18, title(Column::CreatedOn)};
constexpr ControlLayout kAddNew{"Command3", {6960, 3240, 1215, 495}, 19, "Add New"};
constexpr ControlLayout kCreatedOnLabel{
    "Label9", {5040, 2040, 1095, 255}, 20, title(Column::CreatedOn)};
constexpr ControlLayout kCancelUpdate{"Command4", {6960, 2760, 1215, 495}, 21, "Cancel Update"};
inline constexpr std::array kControls{
    kNameLabel,    kNameBox,    kSurnameBox,     kPhoneBox,     kFaxBox,     kAddressBox,
    kEmailBox,     kUrlBox,     kOtherBox,       kSurnameLabel, kPhoneLabel, kFaxLabel,
    kAddressLabel, kEmailLabel, kUrlLabel,       kOtherLabel,   kOk,         kCancel,
    kCreatedOnBox, kAddNew,     kCreatedOnLabel, kCancelUpdate};
} // namespace add_window_layout

// The add-contact window: a new contact is typed, stamped with the day it was created and
// stored. Its state lives only in which buttons and fields are visible.
class AddWindow : public Window {
    Q_OBJECT
  public:
    explicit AddWindow(WindowModel& model);

    QLineEdit* givenNameBox;
    QLineEdit* surnameBox;
    QLineEdit* phoneBox;
    QLineEdit* faxBox;
    QPlainTextEdit* addressBox;
    QLineEdit* emailBox;
    QLineEdit* urlBox;
    QPlainTextEdit* otherBox;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QLineEdit* createdOnBox;
    QPushButton* addNewButton;
    QPushButton* cancelUpdateButton;
    DataControl* dataControl;

    void onLoad() override;

  protected:
    void closedThroughFrame() override;

  private:
    void makeContactFields();
    void makeCreationDayAndButtons();
    void makeDataControl();
    void connectHandlers();

    void onOk();
    void onCancel();
    void onAddNew();
    void onCancelUpdate();
    // The eighteen field controls change visibility together, labels first.
    void setFieldsVisible(bool visible);
};
