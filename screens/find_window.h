#pragma once

#include "screens/find_search.h"
#include "shell/window_model.h"
#include "store/contact_columns.h"
#include "store/lookup_statement.h"

#include <array>

// The find window's controls: a label, its search box and a "Find" button for each of the four
// searches, then "<<Back", "Details" and the results grid.
namespace find_window_layout {
using contact_table::Column;
using contact_table::title;
constexpr ControlLayout kNameLabel{"Label1", {720, 120, 615, 255}, 9, title(Column::Name)};
constexpr ControlLayout kNameBox{"Text1", {1440, 120, 1695, 285}, 0, title(Column::Name)};
constexpr ControlLayout kFindByName{"Command1", {3240, 0, 1215, 495}, 1, "Find"};
constexpr ControlLayout kSurnameLabel{"Label2", {5280, 120, 735, 255}, 11, title(Column::Surname)};
constexpr ControlLayout kSurnameBox{"Text2", {6120, 120, 1815, 285}, 2, title(Column::Surname)};
constexpr ControlLayout kFindBySurname{"Command2", {8160, 0, 1215, 495}, 3, "Find"};
constexpr ControlLayout kPhoneLabel{"Label3", {240, 600, 1215, 255}, 12, "Phone Number"};
constexpr ControlLayout kPhoneBox{"Text3", {1440, 600, 1695, 285}, 4, "Phone Number"};
constexpr ControlLayout kFindByPhone{"Command4", {3240, 600, 1215, 495}, 5, "Find"};
constexpr ControlLayout kEmailLabel{"Label4", {5280, 600, 735, 255}, 13, title(Column::Email)};
constexpr ControlLayout kEmailBox{"Text4", {6120, 600, 1815, 285}, 6, title(Column::Email)};
constexpr ControlLayout kFindByEmail{"Command5", {8160, 600, 1215, 495}, 7, "Find"};
constexpr ControlLayout kBack{"Command6", {1440, 1920, 1215, 495}, 10, "<<Back"};
constexpr ControlLayout kDetails{"Command3", {6840, 1920, 1215, 495}, 8, "Details"};
constexpr ControlLayout kGrid{"DBGrid1", {0, 3000, 9495, 3375}, 14};
inline constexpr std::array kControls{kNameLabel,   kNameBox,       kFindByName, kSurnameLabel,
                                      kSurnameBox,  kFindBySurname, kPhoneLabel, kPhoneBox,
                                      kFindByPhone, kEmailLabel,    kEmailBox,   kFindByEmail,
                                      kBack,        kDetails,       kGrid};
} // namespace find_window_layout

class DataControl;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultsGrid;

// The find window: looks contacts up by given name, surname, phone or e-mail and lists the
// matches in its results grid. Its four search boxes are also what the details window searches
// with, through FindSearch.
class FindWindow : public Window, public FindSearch {
    Q_OBJECT
  public:
    explicit FindWindow(WindowModel& model);

    QLabel* givenNameLabel;
    QLineEdit* givenNameBox;
    QPushButton* findByNameButton;
    QLabel* surnameLabel;
    QLineEdit* surnameBox;
    QPushButton* findBySurnameButton;
    QLabel* phoneLabel;
    QLineEdit* phoneBox;
    QPushButton* findByPhoneButton;
    QLabel* emailLabel;
    QLineEdit* emailBox;
    QPushButton* findByEmailButton;
    QPushButton* backButton;
    QPushButton* detailsButton;
    DataControl* dataControl;
    // The grid is the window's heaviest part and shows nothing until the window is shown: it is
    // built then, or on first touch before that.
    ResultsGrid* resultsGrid();

    void onLoad() override;

    QString searchText(LookupColumn column) const override;
    void clearSearch() override;

  protected:
    void showEvent(QShowEvent* event) override;
    // Closing the window through its frame leaves it as "<<Back" does.
    void closedThroughFrame() override;

  private:
    void makeSearchControls();
    void nameTheSearches();
    void makeDataControl();
    void connectHandlers();

    void onFindByName();
    void onFindBySurname();
    void onDetails();
    void onFindByPhone();
    void onFindByEmail();
    void onBack();

    // The one procedure behind the surname, phone and e-mail searches.
    void findBy(LookupColumn column);

    ResultsGrid* resultsGrid_ = nullptr;
};
