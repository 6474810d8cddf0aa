#include "screens/form3.h"

#include "screens/results_grid.h"
#include "store/contact_table.h"
#include "widgets/data_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using contact_table::Column;
using contact_table::columnTitle;

Form3::Form3(WindowModel& model) : Window(model, QStringLiteral("Form3")) {
    setWindowTitle(QStringLiteral("Find"));
    setInnerArea(9555, 6435);

    makeSearchControls();
    nameTheSearches();
    makeDataControl();
    DBGrid1 = new ResultsGrid(Data1, windows().stepRunner(), this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    place(DBGrid1, {0, 3000, 9495, 3375});
    setTabIndex(DBGrid1, 14);

    applyTabOrder();
    connectHandlers();
}

void Form3::makeSearchControls() {
    Label1 = label(QStringLiteral("Label1"), columnTitle(Column::Name), {720, 120, 615, 255}, 9);
    Text1 = textBox(QStringLiteral("Text1"), QString(), {1440, 120, 1695, 285}, 0,
                    columnTitle(Column::Name));
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("Find"), {3240, 0, 1215, 495}, 1);
    Label2 =
        label(QStringLiteral("Label2"), columnTitle(Column::Surname), {5280, 120, 735, 255}, 11);
    Text2 = textBox(QStringLiteral("Text2"), QString(), {6120, 120, 1815, 285}, 2,
                    columnTitle(Column::Surname));
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("Find"), {8160, 0, 1215, 495}, 3);
    Label3 =
        label(QStringLiteral("Label3"), QStringLiteral("Phone Number"), {240, 600, 1215, 255}, 12);
    Text3 = textBox(QStringLiteral("Text3"), QString(), {1440, 600, 1695, 285}, 4,
                    QStringLiteral("Phone Number"));
    Command4 =
        button(QStringLiteral("Command4"), QStringLiteral("Find"), {3240, 600, 1215, 495}, 5);
    Label4 = label(QStringLiteral("Label4"), columnTitle(Column::Email), {5280, 600, 735, 255}, 13);
    Text4 = textBox(QStringLiteral("Text4"), QString(), {6120, 600, 1815, 285}, 6,
                    columnTitle(Column::Email));
    Command5 =
        button(QStringLiteral("Command5"), QStringLiteral("Find"), {8160, 600, 1215, 495}, 7);
    Command6 =
        button(QStringLiteral("Command6"), QStringLiteral("<<Back"), {1440, 1920, 1215, 495}, 10);
    Command3 =
        button(QStringLiteral("Command3"), QStringLiteral("Details"), {6840, 1920, 1215, 495}, 8);
}

// The four "Find" buttons read alike; a screen reader says which search each one runs.
void Form3::nameTheSearches() {
    const std::pair<QLabel*, QLineEdit*> boxes[] = {
        {Label1, Text1}, {Label2, Text2}, {Label3, Text3}, {Label4, Text4}};
    for (const auto& [caption, box] : boxes)
        caption->setBuddy(box);
    Command1->setAccessibleDescription(QStringLiteral("Find by name"));
    Command2->setAccessibleDescription(QStringLiteral("Find by surname"));
    Command4->setAccessibleDescription(QStringLiteral("Find by phone number"));
    Command5->setAccessibleDescription(QStringLiteral("Find by e-mail"));
}

// The bare file name of the layout means the file beside the executable, never one in the
// current directory, so the fetch at load already lists the contacts of the address book.
void Form3::makeDataControl() {
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setConnect(QStringLiteral("Access"));
    Data1->setDatabaseName(QStringLiteral("address.mdb"));
    Data1->setRecordSource(QLatin1String(contact_table::kTable));
    Data1->setCaption(QStringLiteral("Data1"));
    Data1->setBaseDirectory(services().app.directory());
    Data1->setStepRunner(windows().stepRunner());
    place(Data1, {2760, 2520, 3900, 420});
    Data1->setVisible(false);
}

void Form3::connectHandlers() {
    onClick(Command1, [this] { Command1_Click(); });
    onClick(Command2, [this] { Command2_Click(); });
    onClick(Command3, [this] { Command3_Click(); });
    onClick(Command4, [this] { Command4_Click(); });
    onClick(Command5, [this] { Command5_Click(); });
    onClick(Command6, [this] { Command6_Click(); });
}

void Form3::Form_Load() {
    Data1->Refresh();
}

// Every button first stores what was typed into the grid's current row; if that fails, the
// button does nothing more, and the row keeps what was typed.

// By given name; an empty box fetches the current record source again, whichever search set it.
void Form3::Command1_Click() {
    DBGrid1->storePendingRow();
    const QString name = Text1->text();
    if (name.isEmpty()) {
        Data1->Refresh();
        DBGrid1->Refresh();
    } else {
        Data1->setRecordSource(lookupStatement(LookupColumn::Name, name));
        Data1->Refresh();
    }
    DBGrid1->setVisible(true);
}

void Form3::Command2_Click() {
    findBy(LookupColumn::Surname);
}

void Form3::Command4_Click() {
    findBy(LookupColumn::Phone);
}

void Form3::Command5_Click() {
    findBy(LookupColumn::Email);
}

// The text is searched as typed, an empty box included; a failed fetch leaves the grid as it is.
void Form3::findBy(LookupColumn column) {
    DBGrid1->storePendingRow();
    Data1->setRecordSource(lookupStatement(column, searchText(column)));
    Data1->Refresh();
    DBGrid1->setVisible(true);
}

// "Details": the details window searches with the texts of the four boxes; no row is passed on.
void Form3::Command3_Click() {
    DBGrid1->storePendingRow();
    DBGrid1->setVisible(false);
    Hide();
    windows().show(Kind::Form4);
}

// "<<Back": the record source and the grid's visibility stay for the next visit.
void Form3::Command6_Click() {
    DBGrid1->storePendingRow();
    DBGrid1->Refresh();
    clearSearch();
    setVisibleFlag(false);
    windows().window(Kind::Form1).setVisibleFlag(true);
}

QString Form3::searchText(LookupColumn column) const {
    switch (column) {
    case LookupColumn::Name:
        return Text1->text();
    case LookupColumn::Surname:
        return Text2->text();
    case LookupColumn::Phone:
        return Text3->text();
    case LookupColumn::Email:
        return Text4->text();
    }
    return {};
}

void Form3::clearSearch() {
    Text1->setText(QString());
    Text2->setText(QString());
    Text3->setText(QString());
    Text4->setText(QString());
}

void Form3::closedThroughFrame() {
    Command6_Click();
}
