#pragma once

#include "screens/find_search.h"
#include "shell/window_model.h"
#include "store/lookup_statement.h"

class DataControl;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultsGrid;

// The find window: looks contacts up by given name, surname, phone or e-mail and lists the
// matches in its results grid. Its four search boxes are also what the details window searches
// with, through FindSearch.
class Form3 : public Window, public FindSearch {
    Q_OBJECT
  public:
    explicit Form3(WindowModel& model);

    QLabel* Label1;
    QLineEdit* Text1;      // given name
    QPushButton* Command1; // "Find" by given name
    QLabel* Label2;
    QLineEdit* Text2;      // surname
    QPushButton* Command2; // "Find" by surname
    QLabel* Label3;
    QLineEdit* Text3;      // phone
    QPushButton* Command4; // "Find" by phone
    QLabel* Label4;
    QLineEdit* Text4;      // e-mail
    QPushButton* Command5; // "Find" by e-mail
    QPushButton* Command6; // "<<Back"
    QPushButton* Command3; // "Details"
    DataControl* Data1;
    ResultsGrid* DBGrid1;

    void Form_Load() override;

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

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();

    // The one procedure behind the surname, phone and e-mail searches.
    void findBy(LookupColumn column);
};
