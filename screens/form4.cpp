#include "screens/form4.h"

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

Form4::Form4(WindowModel& model) : Window(model, QStringLiteral("Form4")) {
    setWindowTitle(QStringLiteral("View/Edit"));
    setInnerArea(8235, 4155);

    makeButtons();
    // The data control comes first so that the boxes can be bound as they are built. It stays on
    // screen as a navigation strip, and failures of its arrows are reported where every other
    // failure is.
    makeDataControl();
    makeNameFields();
    makeDayAndNoteFields();

    // Holds the text of the last search; never shown.
    Text11 = textBox(QStringLiteral("Text11"), QStringLiteral("Text11"), {6960, 1920, 1215, 285},
                     25, QStringLiteral("Search text"));
    Text11->hide();

    connect(Data1, &DataControl::rowAboutToBeStored, this, &Form4::stampUnlessTyped);

    applyTabOrder();
    connectHandlers();
}

void Form4::makeButtons() {
    Command1 =
        button(QStringLiteral("Command1"), QStringLiteral("<<Back"), {6960, 3600, 1215, 495}, 0);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("Refresh by Name"),
                      {240, 480, 1215, 495}, 1);
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("Refresh by Surname"),
                      {2520, 480, 1215, 495}, 2);
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("Refresh by Phone"),
                      {4800, 480, 1215, 495}, 3);
    Command5 = button(QStringLiteral("Command5"), QStringLiteral("Refresh by e-mail"),
                      {6840, 480, 1215, 495}, 4);
    auto* wrapped = new WrappedCaption(this);
    for (QPushButton* refresh : {Command2, Command3, Command4, Command5})
        refresh->installEventFilter(wrapped);
    // "Edit" and "Save" share one place; at most one of them is visible.
    Command6 =
        button(QStringLiteral("Command6"), QStringLiteral("Edit"), {6960, 2640, 1215, 495}, 26);
    Command7 =
        button(QStringLiteral("Command7"), QStringLiteral("Save"), {6960, 2640, 1215, 495}, 27);
}

void Form4::makeDataControl() {
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    place(Data1, {6960, 3240, 1260, 345});
    Data1->setStepRunner(windows().stepRunner());
}

// Each label stands left of its box; the box is named for screen readers by its label.
void Form4::makeNameFields() {
    Label1 = fieldLabel(QStringLiteral("Label1"), Column::Name, {0, 0, 615, 255}, 22);
    Text1 = boundBox(Label1, QStringLiteral("Text1"), {720, 0, 2535, 285}, 5, Column::Name);
    Label2 = fieldLabel(QStringLiteral("Label2"), Column::Surname, {4200, 0, 735, 255}, 21);
    Text2 = boundBox(Label2, QStringLiteral("Text2"), {5040, 0, 2535, 285}, 6, Column::Surname);
    Label3 = fieldLabel(QStringLiteral("Label3"), Column::Phone, {0, 480, 615, 255}, 20);
    Text3 = boundBox(Label3, QStringLiteral("Text3"), {720, 480, 2055, 285}, 7, Column::Phone);
    Label4 = fieldLabel(QStringLiteral("Label4"), Column::Fax, {4200, 480, 615, 255}, 19);
    Text4 = boundBox(Label4, QStringLiteral("Text4"), {5040, 480, 2055, 285}, 8, Column::Fax);
    Label5 = fieldLabel(QStringLiteral("Label5"), Column::Address, {0, 960, 615, 255}, 18);
    Text5 = boundMultiLineBox(Label5, QStringLiteral("Text5"), {720, 960, 3255, 1455}, 9,
                              Column::Address);
    Label6 = fieldLabel(QStringLiteral("Label6"), Column::Email, {4200, 960, 735, 255}, 17);
    Text8 = boundBox(Label6, QStringLiteral("Text8"), {5040, 960, 2535, 285}, 10, Column::Email);
    Label7 = fieldLabel(QStringLiteral("Label7"), Column::Url, {4200, 1440, 855, 255}, 16);
    Text9 = boundBox(Label7, QStringLiteral("Text9"), {5040, 1440, 2535, 285}, 11, Column::Url);
}

void Form4::makeDayAndNoteFields() {
    Label9 = fieldLabel(QStringLiteral("Label9"), Column::CreatedOn, {4080, 1920, 1215, 255}, 23);
    Text7 =
        boundBox(Label9, QStringLiteral("Text7"), {5040, 1920, 1575, 285}, 13, Column::CreatedOn);
    // The creation day is shown and can be selected, but only the add window writes it.
    Text7->setReadOnly(true);
    Label10 =
        fieldLabel(QStringLiteral("Label10"), Column::ModifiedOn, {4080, 2280, 1215, 255}, 24);
    Text10 = boundBox(Label10, QStringLiteral("Text10"), {5040, 2280, 1575, 285}, 14,
                      Column::ModifiedOn);
    Label8 = fieldLabel(QStringLiteral("Label8"), Column::Other, {0, 2640, 735, 255}, 15);
    Text6 = boundMultiLineBox(Label8, QStringLiteral("Text6"), {720, 2640, 5055, 1335}, 12,
                              Column::Other);
}

void Form4::connectHandlers() {
    onClick(Command1, [this] { Command1_Click(); });
    onClick(Command2, [this] { Command2_Click(); });
    onClick(Command3, [this] { Command3_Click(); });
    onClick(Command4, [this] { Command4_Click(); });
    onClick(Command5, [this] { Command5_Click(); });
    onClick(Command6, [this] { Command6_Click(); });
    onClick(Command7, [this] { Command7_Click(); });
}

void Form4::Form_Load() {
    showAwaitingRefresh();
}

// "<<Back": empties every search box of the find window and returns there. Nothing is sent to
// Data1: an edit under way stays pending until the next refresh drops it.
void Form4::Command1_Click() {
    findWindow().clearSearch();
    showAwaitingRefresh();
    setVisibleFlag(false);
    windows().window(Kind::Form3).setVisibleFlag(true);
}

void Form4::Command2_Click() {
    refreshBy(LookupColumn::Name);
}

void Form4::Command3_Click() {
    refreshBy(LookupColumn::Surname);
}

void Form4::Command4_Click() {
    refreshBy(LookupColumn::Phone);
}

void Form4::Command5_Click() {
    refreshBy(LookupColumn::Email);
}

// "Edit": the day of the change goes into "Modified On" before the edit starts, so the next
// "Save" stores it with whatever the user typed.
void Form4::Command6_Click() {
    requireContactToEdit();
    Text10->setText(dateStamp(services().clock));
    Data1->Recordset().Edit();
    Command6->setVisible(false);
    Command7->setVisible(true);
}

// "Save": stores the row, closes the recordset and returns to the main menu. The fields stay
// as they are, so the window comes back showing the saved contact.
void Form4::Command7_Click() {
    storeEditUnderWay();
    Data1->Recordset().Close();
    Command6->setVisible(true);
    Command7->setVisible(false);
    Hide();
    windows().show(Kind::Form1);
}

void Form4::closedThroughFrame() {
    Command1_Click();
}

void Form4::refreshBy(LookupColumn column) {
    Text11->setText(findWindow().searchText(column));
    Data1->setRecordSource(lookupStatement(column, Text11->text()));
    Data1->Refresh();
    setFieldsVisible(true);
    setRefreshButtonsVisible(false);
    Command6->setVisible(true);
}

FindSearch& Form4::findWindow() const {
    return windows().as<FindSearch>(Kind::Form3);
}

void Form4::showAwaitingRefresh() {
    Command6->setVisible(false);
    Command7->setVisible(false);
    setRefreshButtonsVisible(true);
    setFieldsVisible(false);
}

void Form4::setFieldsVisible(bool visible) {
    for (QWidget* field : std::as_const(fields_))
        field->setVisible(visible);
}

void Form4::setRefreshButtonsVisible(bool visible) {
    for (QPushButton* refresh : {Command2, Command3, Command4, Command5})
        refresh->setVisible(visible);
}

void Form4::requireContactToEdit() const {
    if (!Data1->Recordset().isOpen())
        throw StoreError(QStringLiteral("This contact has been saved. To edit a contact, go "
                                        "\"<<Back\" and search for it again."));
    if (Data1->Recordset().AbsolutePosition() < 0)
        throw StoreError(QStringLiteral("No contact matches the search."));
}

void Form4::storeEditUnderWay() {
    if (Data1->Recordset().editMode() == Recordset::EditMode::None) {
        // The arrows stored the edit already; what was typed into the row moved to since still
        // belongs to that row and is stored rather than dropped by the close.
        if (!Data1->boxesChanged())
            return;
        Data1->Recordset().Edit();
    }
    Data1->Recordset().Update();
}

void Form4::stampUnlessTyped() {
    if (!Data1->isChanged(Text10))
        Text10->setText(dateStamp(services().clock));
}

QLabel* Form4::fieldLabel(const QString& name, contact_table::Column column, TwipsRect rect,
                          int tabIndex) {
    QLabel* control = label(name, contact_table::columnTitle(column), rect, tabIndex);
    fields_ << control;
    return control;
}

QLineEdit* Form4::boundBox(QLabel* caption, const QString& name, TwipsRect rect, int tabIndex,
                           contact_table::Column column) {
    QLineEdit* box = textBox(name, name, rect, tabIndex, caption->text());
    caption->setBuddy(box);
    Data1->bind(box, column);
    fields_ << box;
    return box;
}

QPlainTextEdit* Form4::boundMultiLineBox(QLabel* caption, const QString& name, TwipsRect rect,
                                         int tabIndex, contact_table::Column column) {
    QPlainTextEdit* box = multiLineTextBox(name, name, rect, tabIndex, caption->text());
    caption->setBuddy(box);
    Data1->bind(box, column);
    fields_ << box;
    return box;
}
