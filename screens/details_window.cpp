#include "screens/details_window.h"

#include "screens/find_search.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/store_error.h"
#include "widgets/data_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <type_traits>

using contact_table::Column;

namespace {

// The refresh buttons' captions are longer than the buttons are wide; they wrap onto a second
// line instead of being cut off at both ends.
class WrappedCaption final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || event->type() != QEvent::Paint)
            return QObject::eventFilter(watched, event);
        QStyleOptionButton option;
        option.initFrom(button);
        option.features = button->autoDefault() ? QStyleOptionButton::AutoDefaultButton
                                                : QStyleOptionButton::None;
        option.state |= button->isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        QStylePainter painter(button);
        // Without its text the button draws only its face and focus frame.
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        painter.drawItemText(contents, Qt::AlignCenter | Qt::TextWordWrap, button->palette(),
                             button->isEnabled(), button->text(), QPalette::ButtonText);
        return true;
    }
};

} // namespace

DetailsWindow::DetailsWindow(WindowModel& model) : Window(model, QStringLiteral("Form4")) {
    setWindowTitle(QStringLiteral("View/Edit"));
    setInnerArea(8235, 4155);

    makeButtons();
    // The data control comes first so that the boxes can be bound as they are built. It stays on
    // screen as a navigation strip, and failures of its arrows are reported where every other
    // failure is.
    makeDataControl();
    makeFields();

    searchTextBox = textBox(details_window_layout::kSearchText);
    searchTextBox->hide();

    connect(dataControl, &DataControl::rowAboutToBeStored, this, &DetailsWindow::stampUnlessTyped);

    applyTabOrder();
    connectHandlers();
}

void DetailsWindow::makeButtons() {
    using namespace details_window_layout;
    backButton = button(kBack);
    refreshByNameButton = button(kRefreshByName);
    refreshBySurnameButton = button(kRefreshBySurname);
    refreshByPhoneButton = button(kRefreshByPhone);
    refreshByEmailButton = button(kRefreshByEmail);
    auto* wrapped = new WrappedCaption(this);
    for (QPushButton* refresh :
         {refreshByNameButton, refreshBySurnameButton, refreshByPhoneButton, refreshByEmailButton})
        refresh->installEventFilter(wrapped);
    editButton = button(kEdit);
    saveButton = button(kSave);
}

void DetailsWindow::makeDataControl() {
    dataControl = new DataControl(this);
    dataControl->setObjectName(QStringLiteral("Data1"));
    place(dataControl, {6960, 3240, 1260, 345});
    dataControl->setStepRunner(windows().stepRunner());
}

// Each label stands left of its box; the box is named for screen readers by its label.
void DetailsWindow::makeFields() {
    using namespace details_window_layout;
    givenNameBox = field<QLineEdit>(kNameLabel, kNameBox, Column::Name);
    surnameBox = field<QLineEdit>(kSurnameLabel, kSurnameBox, Column::Surname);
    phoneBox = field<QLineEdit>(kPhoneLabel, kPhoneBox, Column::Phone);
    faxBox = field<QLineEdit>(kFaxLabel, kFaxBox, Column::Fax);
    addressBox = field<QPlainTextEdit>(kAddressLabel, kAddressBox, Column::Address);
    emailBox = field<QLineEdit>(kEmailLabel, kEmailBox, Column::Email);
    urlBox = field<QLineEdit>(kUrlLabel, kUrlBox, Column::Url);
    createdOnBox = field<QLineEdit>(kCreatedOnLabel, kCreatedOnBox, Column::CreatedOn);
    // The creation day is shown and can be selected, but only the add window writes it.
    createdOnBox->setReadOnly(true);
    modifiedOnBox = field<QLineEdit>(kModifiedOnLabel, kModifiedOnBox, Column::ModifiedOn);
    otherBox = field<QPlainTextEdit>(kOtherLabel, kOtherBox, Column::Other);
}

void DetailsWindow::connectHandlers() {
    onClick(backButton, [this] { onBack(); });
    onClick(refreshByNameButton, [this] { onRefreshByName(); });
    onClick(refreshBySurnameButton, [this] { onRefreshBySurname(); });
    onClick(refreshByPhoneButton, [this] { onRefreshByPhone(); });
    onClick(refreshByEmailButton, [this] { onRefreshByEmail(); });
    onClick(editButton, [this] { onEdit(); });
    onClick(saveButton, [this] { onSave(); });
}

void DetailsWindow::onLoad() {
    showAwaitingRefresh();
}

// "<<Back": empties every search box of the find window and returns there. Nothing is sent to
// dataControl: an edit under way stays pending until the next refresh drops it.
void DetailsWindow::onBack() {
    findWindow().clearSearch();
    showAwaitingRefresh();
    setVisibleFlag(false);
    windows().window(Kind::Find).setVisibleFlag(true);
}

void DetailsWindow::onRefreshByName() {
    refreshBy(LookupColumn::Name);
}

void DetailsWindow::onRefreshBySurname() {
    refreshBy(LookupColumn::Surname);
}

void DetailsWindow::onRefreshByPhone() {
    refreshBy(LookupColumn::Phone);
}

void DetailsWindow::onRefreshByEmail() {
    refreshBy(LookupColumn::Email);
}

// "Edit": the day of the change goes into "Modified On" before the edit starts, so the next
// "Save" stores it with whatever the user typed.
void DetailsWindow::onEdit() {
    requireContactToEdit();
    modifiedOnBox->setText(dateStamp(services().clock));
    dataControl->recordset().edit();
    editButton->setVisible(false);
    saveButton->setVisible(true);
}

// "Save": stores the row, closes the recordset and returns to the main menu. The fields stay
// as they are, so the window comes back showing the saved contact.
void DetailsWindow::onSave() {
    storeEditUnderWay();
    dataControl->recordset().close();
    editButton->setVisible(true);
    saveButton->setVisible(false);
    Hide();
    windows().show(Kind::MainMenu);
}

void DetailsWindow::closedThroughFrame() {
    onBack();
}

void DetailsWindow::refreshBy(LookupColumn column) {
    searchTextBox->setText(findWindow().searchText(column));
    dataControl->setRecordSource(lookupStatement(column, searchTextBox->text()));
    dataControl->refresh();
    setFieldsVisible(true);
    setRefreshButtonsVisible(false);
    editButton->setVisible(true);
}

FindSearch& DetailsWindow::findWindow() const {
    return windows().as<FindSearch>(Kind::Find);
}

void DetailsWindow::showAwaitingRefresh() {
    editButton->setVisible(false);
    saveButton->setVisible(false);
    setRefreshButtonsVisible(true);
    setFieldsVisible(false);
}

void DetailsWindow::setFieldsVisible(bool visible) {
    for (QWidget* field : std::as_const(fields_))
        field->setVisible(visible);
}

void DetailsWindow::setRefreshButtonsVisible(bool visible) {
    for (QPushButton* refresh :
         {refreshByNameButton, refreshBySurnameButton, refreshByPhoneButton, refreshByEmailButton})
        refresh->setVisible(visible);
}

void DetailsWindow::requireContactToEdit() const {
    if (!dataControl->recordset().isOpen())
        throw StoreError(QStringLiteral("This contact has been saved. To edit a contact, go "
                                        "\"<<Back\" and search for it again."));
    if (dataControl->recordset().absolutePosition() < 0)
        throw StoreError(QStringLiteral("No contact matches the search."));
}

void DetailsWindow::storeEditUnderWay() {
    if (dataControl->recordset().editMode() == Recordset::EditMode::None) {
        // The arrows stored the edit already; what was typed into the row moved to since still
        // belongs to that row and is stored rather than dropped by the close.
        if (!dataControl->boxesChanged())
            return;
        dataControl->recordset().edit();
    }
    dataControl->recordset().update();
}

void DetailsWindow::stampUnlessTyped() {
    if (!dataControl->isChanged(modifiedOnBox))
        modifiedOnBox->setText(dateStamp(services().clock));
}

template <class Box>
Box* DetailsWindow::field(const ControlLayout& caption, const ControlLayout& box, Column column) {
    QLabel* name = label(caption);
    Box* control;
    if constexpr (std::is_same_v<Box, QPlainTextEdit>)
        control = multiLineTextBox(box);
    else
        control = textBox(box);
    name->setBuddy(control);
    dataControl->bind(control, column);
    fields_ << name << control;
    return control;
}
