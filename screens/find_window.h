#pragma once

#include "screens/find_search.h"
#include "shell/window_model.h"
#include "store/lookup_statement.h"

#include <array>

// The find window's buttons: a "Find" right of each search box, then "<<Back" and "Details".
namespace find_window_layout {
inline constexpr ControlLayout kFindByName{"Command1", {3240, 0, 1215, 495}, 1, "Find"};
inline constexpr ControlLayout kFindBySurname{"Command2", {8160, 0, 1215, 495}, 3, "Find"};
inline constexpr ControlLayout kFindByPhone{"Command4", {3240, 600, 1215, 495}, 5, "Find"};
inline constexpr ControlLayout kFindByEmail{"Command5", {8160, 600, 1215, 495}, 7, "Find"};
inline constexpr ControlLayout kBack{"Command6", {1440, 1920, 1215, 495}, 10, "<<Back"};
inline constexpr ControlLayout kDetails{"Command3", {6840, 1920, 1215, 495}, 8, "Details"};
inline constexpr std::array kButtons{kFindByName,  kFindBySurname, kFindByPhone,
                                     kFindByEmail, kBack,          kDetails};
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
    ResultsGrid* resultsGrid;

    void onLoad() override;

    QString searchText(LookupColumn column) const override;
    void clearSearch() override;

  protected:
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
};
