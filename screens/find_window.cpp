#include "screens/find_window.h"

#include "screens/results_grid.h"
#include "store/contact_table.h"
#include "widgets/data_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindWindow::FindWindow(WindowModel& model) : Window(model, QStringLiteral("Form3")) {
    setWindowTitle(QStringLiteral("Find"));
    setInnerArea(9555, 6435);

    makeSearchControls();
    nameTheSearches();
    makeDataControl();

    applyTabOrder();
    connectHandlers();
}

ResultsGrid* FindWindow::resultsGrid() {
    if (!resultsGrid_) {
        resultsGrid_ = new ResultsGrid(dataControl, windows().stepRunner(), this);
        resultsGrid_->setObjectName(QString::fromUtf8(find_window_layout::kGrid.name));
        place(resultsGrid_, find_window_layout::kGrid.place);
        setTabIndex(resultsGrid_, find_window_layout::kGrid.tabIndex);
        applyTabOrder();
    }
    return resultsGrid_;
}

// Built when the window is first shown, the grid is shown at once and has its turn for the
// first focus with the rest of the window.
void FindWindow::showEvent(QShowEvent* event) {
    if (!resultsGrid_)
        resultsGrid()->show();
    Window::showEvent(event);
}

void FindWindow::makeSearchControls() {
    using namespace find_window_layout;
    givenNameLabel = label(kNameLabel);
    givenNameBox = textBox(kNameBox);
    findByNameButton = button(kFindByName);
    surnameLabel = label(kSurnameLabel);
    surnameBox = textBox(kSurnameBox);
    findBySurnameButton = button(kFindBySurname);
    phoneLabel = label(kPhoneLabel);
    phoneBox = textBox(kPhoneBox);
    findByPhoneButton = button(kFindByPhone);
    emailLabel = label(kEmailLabel);
    emailBox = textBox(kEmailBox);
    findByEmailButton = button(kFindByEmail);
    backButton = button(kBack);
    detailsButton = button(kDetails);
    // The search boxes start empty.
    clearSearch();
}

// Each label names its box; the four "Find" buttons read alike, so a screen reader says which
// search each one runs.
void FindWindow::nameTheSearches() {
    givenNameLabel->setBuddy(givenNameBox);
    surnameLabel->setBuddy(surnameBox);
    phoneLabel->setBuddy(phoneBox);
    emailLabel->setBuddy(emailBox);
    findByNameButton->setAccessibleDescription(QStringLiteral("Find by name"));
    findBySurnameButton->setAccessibleDescription(QStringLiteral("Find by surname"));
    findByPhoneButton->setAccessibleDescription(QStringLiteral("Find by phone number"));
    findByEmailButton->setAccessibleDescription(QStringLiteral("Find by e-mail"));
}

// The bare file name of the layout means the file beside the executable, never one in the
// current directory, so the fetch at load already lists the contacts of the address book.
void FindWindow::makeDataControl() {
    dataControl = new DataControl(this);
    dataControl->setObjectName(QStringLiteral("Data1"));
    dataControl->setConnectString(QStringLiteral("Access"));
    dataControl->setDatabaseName(QStringLiteral("address.mdb"));
    dataControl->setRecordSource(QLatin1String(contact_table::kTable));
    dataControl->setCaption(QStringLiteral("Data1"));
    dataControl->setBaseDirectory(services().app.directory());
    dataControl->setStepRunner(windows().stepRunner());
    place(dataControl, {2760, 2520, 3900, 420});
    dataControl->setVisible(false);
}

void FindWindow::connectHandlers() {
    onClick(findByNameButton, [this] { onFindByName(); });
    onClick(findBySurnameButton, [this] { onFindBySurname(); });
    onClick(detailsButton, [this] { onDetails(); });
    onClick(findByPhoneButton, [this] { onFindByPhone(); });
    onClick(findByEmailButton, [this] { onFindByEmail(); });
    onClick(backButton, [this] { onBack(); });
}

void FindWindow::onLoad() {
    dataControl->refresh();
}

// Every button first stores what was typed into the grid's current row; if that fails, the
// button does nothing more, and the row keeps what was typed.

// By given name; an empty box fetches the current record source again, whichever search set it.
void FindWindow::onFindByName() {
    resultsGrid()->storePendingRow();
    const QString name = givenNameBox->text();
    if (name.isEmpty()) {
        dataControl->refresh();
        resultsGrid()->refresh();
    } else {
        dataControl->setRecordSource(lookupStatement(LookupColumn::Name, name));
        dataControl->refresh();
    }
    resultsGrid()->setVisible(true);
}

void FindWindow::onFindBySurname() {
    findBy(LookupColumn::Surname);
}

void FindWindow::onFindByPhone() {
    findBy(LookupColumn::Phone);
}

void FindWindow::onFindByEmail() {
    findBy(LookupColumn::Email);
}

// The text is searched as typed, an empty box included; a failed fetch leaves the grid as it is.
void FindWindow::findBy(LookupColumn column) {
    resultsGrid()->storePendingRow();
    dataControl->setRecordSource(lookupStatement(column, searchText(column)));
    dataControl->refresh();
    resultsGrid()->setVisible(true);
}

// "Details": the details window searches with the texts of the four boxes; no row is passed on.
void FindWindow::onDetails() {
    resultsGrid()->storePendingRow();
    resultsGrid()->setVisible(false);
    Hide();
    windows().show(Kind::Details);
}

// "<<Back": the record source and the grid's visibility stay for the next visit.
void FindWindow::onBack() {
    resultsGrid()->storePendingRow();
    resultsGrid()->refresh();
    clearSearch();
    setVisibleFlag(false);
    windows().window(Kind::MainMenu).setVisibleFlag(true);
}

QString FindWindow::searchText(LookupColumn column) const {
    switch (column) {
    case LookupColumn::Name:
        return givenNameBox->text();
    case LookupColumn::Surname:
        return surnameBox->text();
    case LookupColumn::Phone:
        return phoneBox->text();
    case LookupColumn::Email:
        return emailBox->text();
    }
    return {};
}

void FindWindow::clearSearch() {
    givenNameBox->setText(QString());
    surnameBox->setText(QString());
    phoneBox->setText(QString());
    emailBox->setText(QString());
}

void FindWindow::closedThroughFrame() {
    onBack();
}
