#include "screens/add_window.h"

#include "assets/assets.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "widgets/data_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using contact_table::Column;

AddWindow::AddWindow(WindowModel& model) : Window(model, QStringLiteral("Form2")) {
    setWindowTitle(QStringLiteral("Add New"));
    setInnerArea(8265, 4290);
    // The drop-shadow arrow shows over the window's own surface; buttons keep the usual pointer
    // and text boxes their text cursor.
    setCursor(assets::pointer(assets::Pointer::ShadowArrow));

    makeContactFields();
    makeCreationDayAndButtons();
    makeDataControl();

    cancelUpdateButton->setVisible(false);
    applyTabOrder();
    connectHandlers();
}

void AddWindow::makeContactFields() {
    using namespace add_window_layout;
    label(kNameLabel);
    givenNameBox = textBox(kNameBox);
    surnameBox = textBox(kSurnameBox);
    phoneBox = textBox(kPhoneBox);
    faxBox = textBox(kFaxBox);
    addressBox = multiLineTextBox(kAddressBox);
    emailBox = textBox(kEmailBox);
    urlBox = textBox(kUrlBox);
    otherBox = multiLineTextBox(kOtherBox);
    label(kSurnameLabel);
    label(kPhoneLabel);
    label(kFaxLabel);
    label(kAddressLabel);
    label(kEmailLabel);
    label(kUrlLabel);
    label(kOtherLabel);
}

void AddWindow::makeCreationDayAndButtons() {
    using namespace add_window_layout;
    okButton = button(kOk);
    cancelButton = button(kCancel);
    createdOnBox = textBox(kCreatedOnBox);
    createdOnBox->setReadOnly(true);
    addNewButton = button(kAddNew);
    label(kCreatedOnLabel);
    cancelUpdateButton = button(kCancelUpdate);
    for (QPushButton* control : {okButton, cancelButton, addNewButton, cancelUpdateButton})
        control->setCursor(Qt::ArrowCursor);
}

void AddWindow::makeDataControl() {
    dataControl = new DataControl(this);
    dataControl->setObjectName(QStringLiteral("Data1"));
    dataControl->setDatabaseName(QStringLiteral("address.mdb"));
    dataControl->setConnectString(QStringLiteral("Access"));
    dataControl->setRecordSource(QLatin1String(contact_table::kTable));
    dataControl->setBaseDirectory(services().app.directory());
    dataControl->setStepRunner(windows().stepRunner());
    place(dataControl, {4680, 2280, 3540, 345});
    dataControl->setVisible(false);
    dataControl->bind(givenNameBox, Column::Name);
    dataControl->bind(surnameBox, Column::Surname);
    dataControl->bind(phoneBox, Column::Phone);
    dataControl->bind(faxBox, Column::Fax);
    dataControl->bind(addressBox, Column::Address);
    dataControl->bind(emailBox, Column::Email);
    dataControl->bind(urlBox, Column::Url);
    dataControl->bind(otherBox, Column::Other);
    dataControl->bind(createdOnBox, Column::CreatedOn);
}

void AddWindow::connectHandlers() {
    onClick(okButton, [this] { onOk(); });
    onClick(cancelButton, [this] { onCancel(); });
    onClick(addNewButton, [this] { onAddNew(); });
    onClick(cancelUpdateButton, [this] { onCancelUpdate(); });
}

void AddWindow::setFieldsVisible(bool visible) {
    // The window's labels are those of its fields.
    for (QLabel* caption : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        caption->setVisible(visible);
    for (QWidget* box :
         std::initializer_list<QWidget*>{givenNameBox, surnameBox, phoneBox, faxBox, addressBox,
                                         otherBox, createdOnBox, emailBox, urlBox})
        box->setVisible(visible);
}

void AddWindow::onLoad() {
    setFieldsVisible(false);
}

void AddWindow::onAddNew() {
    dataControl->setDatabaseName(contact_table::databasePath(services().app.directory()));
    dataControl->refresh();
    okButton->setVisible(true);
    dataControl->recordset().addNew();
    addNewButton->setVisible(false);
    cancelButton->setVisible(false);
    cancelUpdateButton->setVisible(true);
    createdOnBox->setText(dateStamp(services().clock));
    setFieldsVisible(true);
}

void AddWindow::onOk() {
    if (givenNameBox->text().isEmpty()) {
        givenNameBox->setFocus();
        return;
    }
    dataControl->recordset().update();
    cancelButton->setVisible(true);
    addNewButton->setVisible(true);
    okButton->setVisible(false);
    cancelUpdateButton->setVisible(false);
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::MainMenu);
}

void AddWindow::onCancel() {
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::MainMenu);
}

void AddWindow::onCancelUpdate() {
    cancelUpdateButton->setVisible(false);
    cancelButton->setVisible(true);
    dataControl->recordset().cancelUpdate();
    dataControl->recordset().close();
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::MainMenu);
}

// Closing through the frame is the window's own way out: abandoning a pending entry, or leaving.
void AddWindow::closedThroughFrame() {
    if (cancelUpdateButton->isVisibleTo(this))
        onCancelUpdate();
    else
        onCancel();
}
