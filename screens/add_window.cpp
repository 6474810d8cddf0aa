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
using contact_table::columnTitle;

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
    givenNameLabel =
        label(QStringLiteral("Label1"), columnTitle(Column::Name), {360, 120, 615, 255}, 0);
    givenNameBox = textBox(QStringLiteral("Text1"), QStringLiteral("Text1"), {1080, 120, 2535, 285},
                           1, columnTitle(Column::Name));
    surnameBox = textBox(QStringLiteral("Text2"), QStringLiteral("Text2"), {5400, 120, 2535, 285},
                         2, columnTitle(Column::Surname));
    phoneBox = textBox(QStringLiteral("Text3"), QStringLiteral("Text3"), {1080, 600, 2055, 285}, 3,
                       columnTitle(Column::Phone));
    faxBox = textBox(QStringLiteral("Text4"), QStringLiteral("Text4"), {5400, 600, 2055, 285}, 4,
                     columnTitle(Column::Fax));
    addressBox = multiLineTextBox(QStringLiteral("Text5"), QStringLiteral("Text5"),
                                  {1080, 1080, 3255, 1455}, 5, columnTitle(Column::Address));
    emailBox = textBox(QStringLiteral("Text8"), QStringLiteral("Text8"), {5400, 1080, 2535, 285}, 6,
                       columnTitle(Column::Email));
    urlBox = textBox(QStringLiteral("Text9"), QStringLiteral("Text9"), {5400, 1560, 2535, 285}, 7,
                     columnTitle(Column::Url));
    otherBox = multiLineTextBox(QStringLiteral("Text6"), QStringLiteral("Text6"),
                                {1080, 2760, 5055, 1335}, 8, columnTitle(Column::Other));
    surnameLabel =
        label(QStringLiteral("Label2"), columnTitle(Column::Surname), {4560, 120, 735, 255}, 9);
    phoneLabel =
        label(QStringLiteral("Label3"), columnTitle(Column::Phone), {360, 600, 615, 255}, 10);
    faxLabel = label(QStringLiteral("Label4"), columnTitle(Column::Fax), {4560, 600, 615, 255}, 11);
    addressLabel =
        label(QStringLiteral("Label5"), columnTitle(Column::Address), {360, 1080, 615, 255}, 12);
    emailLabel =
        label(QStringLiteral("Label6"), columnTitle(Column::Email), {4560, 1080, 735, 255}, 13);
    urlLabel =
        label(QStringLiteral("Label7"), columnTitle(Column::Url), {4560, 1560, 855, 255}, 14);
    otherLabel =
        label(QStringLiteral("Label8"), columnTitle(Column::Other), {360, 2760, 735, 255}, 15);
}

void AddWindow::makeCreationDayAndButtons() {
    okButton =
        button(QStringLiteral("Command1"), QStringLiteral("OK"), {6960, 3240, 1215, 495}, 16);
    cancelButton =
        button(QStringLiteral("Command2"), QStringLiteral("Cancel"), {6960, 3720, 1215, 495}, 17);
    createdOnBox = textBox(QStringLiteral("Text7"), QStringLiteral("Text7"),
                           {6360, 2040, 1575, 285}, 18, columnTitle(Column::CreatedOn));
    createdOnBox->setReadOnly(true);
    addNewButton =
        button(QStringLiteral("Command3"), QStringLiteral("Add New"), {6960, 3240, 1215, 495}, 19);
    createdOnLabel = label(QStringLiteral("Label9"), columnTitle(Column::CreatedOn),
                           {5040, 2040, 1095, 255}, 20);
    cancelUpdateButton = button(QStringLiteral("Command4"), QStringLiteral("Cancel Update"),
                                {6960, 2760, 1215, 495}, 21);
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

std::array<QWidget*, 18> AddWindow::fields() const {
    return {givenNameLabel, surnameLabel, phoneLabel,     faxLabel,     addressLabel, emailLabel,
            urlLabel,       otherLabel,   createdOnLabel, givenNameBox, surnameBox,   phoneBox,
            faxBox,         addressBox,   otherBox,       createdOnBox, emailBox,     urlBox};
}

void AddWindow::setFieldsVisible(bool visible) {
    for (QWidget* control : fields())
        control->setVisible(visible);
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
