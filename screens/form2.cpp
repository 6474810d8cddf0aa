#include "screens/form2.h"

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

Form2::Form2(WindowModel& model) : Window(model, QStringLiteral("Form2")) {
    setWindowTitle(QStringLiteral("Add New"));
    setInnerArea(8265, 4290);
    // The drop-shadow arrow shows over the window's own surface; buttons keep the usual pointer
    // and text boxes their text cursor.
    setCursor(assets::pointer(assets::Pointer::ShadowArrow));

    makeContactFields();
    makeCreationDayAndButtons();
    makeDataControl();

    Command4->setVisible(false);
    applyTabOrder();
    connectHandlers();
}

void Form2::makeContactFields() {
    Label1 = label(QStringLiteral("Label1"), columnTitle(Column::Name), {360, 120, 615, 255}, 0);
    Text1 = textBox(QStringLiteral("Text1"), QStringLiteral("Text1"), {1080, 120, 2535, 285}, 1,
                    columnTitle(Column::Name));
    Text2 = textBox(QStringLiteral("Text2"), QStringLiteral("Text2"), {5400, 120, 2535, 285}, 2,
                    columnTitle(Column::Surname));
    Text3 = textBox(QStringLiteral("Text3"), QStringLiteral("Text3"), {1080, 600, 2055, 285}, 3,
                    columnTitle(Column::Phone));
    Text4 = textBox(QStringLiteral("Text4"), QStringLiteral("Text4"), {5400, 600, 2055, 285}, 4,
                    columnTitle(Column::Fax));
    Text5 = multiLineTextBox(QStringLiteral("Text5"), QStringLiteral("Text5"),
                             {1080, 1080, 3255, 1455}, 5, columnTitle(Column::Address));
    Text8 = textBox(QStringLiteral("Text8"), QStringLiteral("Text8"), {5400, 1080, 2535, 285}, 6,
                    columnTitle(Column::Email));
    Text9 = textBox(QStringLiteral("Text9"), QStringLiteral("Text9"), {5400, 1560, 2535, 285}, 7,
                    columnTitle(Column::Url));
    Text6 = multiLineTextBox(QStringLiteral("Text6"), QStringLiteral("Text6"),
                             {1080, 2760, 5055, 1335}, 8, columnTitle(Column::Other));
    Label2 =
        label(QStringLiteral("Label2"), columnTitle(Column::Surname), {4560, 120, 735, 255}, 9);
    Label3 = label(QStringLiteral("Label3"), columnTitle(Column::Phone), {360, 600, 615, 255}, 10);
    Label4 = label(QStringLiteral("Label4"), columnTitle(Column::Fax), {4560, 600, 615, 255}, 11);
    Label5 =
        label(QStringLiteral("Label5"), columnTitle(Column::Address), {360, 1080, 615, 255}, 12);
    Label6 =
        label(QStringLiteral("Label6"), columnTitle(Column::Email), {4560, 1080, 735, 255}, 13);
    Label7 = label(QStringLiteral("Label7"), columnTitle(Column::Url), {4560, 1560, 855, 255}, 14);
    Label8 = label(QStringLiteral("Label8"), columnTitle(Column::Other), {360, 2760, 735, 255}, 15);
}

void Form2::makeCreationDayAndButtons() {
    Command1 =
        button(QStringLiteral("Command1"), QStringLiteral("OK"), {6960, 3240, 1215, 495}, 16);
    Command2 =
        button(QStringLiteral("Command2"), QStringLiteral("Cancel"), {6960, 3720, 1215, 495}, 17);
    Text7 = textBox(QStringLiteral("Text7"), QStringLiteral("Text7"), {6360, 2040, 1575, 285}, 18,
                    columnTitle(Column::CreatedOn));
    Text7->setReadOnly(true);
    Command3 =
        button(QStringLiteral("Command3"), QStringLiteral("Add New"), {6960, 3240, 1215, 495}, 19);
    Label9 = label(QStringLiteral("Label9"), columnTitle(Column::CreatedOn),
                   {5040, 2040, 1095, 255}, 20);
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("Cancel Update"),
                      {6960, 2760, 1215, 495}, 21);
    for (QPushButton* control : {Command1, Command2, Command3, Command4})
        control->setCursor(Qt::ArrowCursor);
}

void Form2::makeDataControl() {
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setDatabaseName(QStringLiteral("address.mdb"));
    Data1->setConnect(QStringLiteral("Access"));
    Data1->setRecordSource(QLatin1String(contact_table::kTable));
    Data1->setBaseDirectory(services().app.directory());
    Data1->setStepRunner(windows().stepRunner());
    place(Data1, {4680, 2280, 3540, 345});
    Data1->setVisible(false);
    Data1->bind(Text1, Column::Name);
    Data1->bind(Text2, Column::Surname);
    Data1->bind(Text3, Column::Phone);
    Data1->bind(Text4, Column::Fax);
    Data1->bind(Text5, Column::Address);
    Data1->bind(Text8, Column::Email);
    Data1->bind(Text9, Column::Url);
    Data1->bind(Text6, Column::Other);
    Data1->bind(Text7, Column::CreatedOn);
}

void Form2::connectHandlers() {
    onClick(Command1, [this] { Command1_Click(); });
    onClick(Command2, [this] { Command2_Click(); });
    onClick(Command3, [this] { Command3_Click(); });
    onClick(Command4, [this] { Command4_Click(); });
}

std::array<QWidget*, 18> Form2::fields() const {
    return {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9,
            Text1,  Text2,  Text3,  Text4,  Text5,  Text6,  Text7,  Text8,  Text9};
}

void Form2::setFieldsVisible(bool visible) {
    for (QWidget* control : fields())
        control->setVisible(visible);
}

void Form2::Form_Load() {
    setFieldsVisible(false);
}

void Form2::Command3_Click() {
    Data1->setDatabaseName(contact_table::databasePath(services().app.directory()));
    Data1->Refresh();
    Command1->setVisible(true);
    Data1->Recordset().AddNew();
    Command3->setVisible(false);
    Command2->setVisible(false);
    Command4->setVisible(true);
    Text7->setText(dateStamp(services().clock));
    setFieldsVisible(true);
}

void Form2::Command1_Click() {
    if (Text1->text().isEmpty()) {
        Text1->setFocus();
        return;
    }
    Data1->Recordset().Update();
    Command2->setVisible(true);
    Command3->setVisible(true);
    Command1->setVisible(false);
    Command4->setVisible(false);
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::Form1);
}

void Form2::Command2_Click() {
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::Form1);
}

void Form2::Command4_Click() {
    Command4->setVisible(false);
    Command2->setVisible(true);
    Data1->Recordset().CancelUpdate();
    Data1->Recordset().Close();
    setFieldsVisible(false);
    Hide();
    windows().show(Kind::Form1);
}

// Closing through the frame is the window's own way out: abandoning a pending entry, or leaving.
void Form2::closedThroughFrame() {
    if (Command4->isVisibleTo(this))
        Command4_Click();
    else
        Command2_Click();
}
