#pragma once

#include "shell/window_model.h"
#include "store/contact_columns.h"
#include "store/lookup_statement.h"

#include <QList>

class DataControl;
class FindSearch;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The contact details window: runs one of the find window's searches again on its own data
// control, shows the first match in full and lets the user edit and save it.
//
// Its state is only which controls are visible, together with what Data1 holds:
//   awaiting refresh  the four refresh buttons, no fields, neither "Edit" nor "Save"
//   showing result    the fields and "Edit"
//   editing           the fields and "Save"; an edit of the current row is under way
//   saved             the fields and "Edit"; the recordset is closed
class Form4 : public Window {
    Q_OBJECT
  public:
    explicit Form4(WindowModel& model);

    QPushButton* Command1; // "<<Back"
    QPushButton* Command2; // "Refresh by Name"
    QPushButton* Command3; // "Refresh by Surname"
    QPushButton* Command4; // "Refresh by Phone"
    QPushButton* Command5; // "Refresh by e-mail"
    QPushButton* Command6; // "Edit"
    QPushButton* Command7; // "Save"

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;

    QLineEdit* Text1;      // Name
    QLineEdit* Text2;      // Surname
    QLineEdit* Text3;      // phone
    QLineEdit* Text4;      // fax
    QPlainTextEdit* Text5; // address
    QPlainTextEdit* Text6; // other (notes)
    QLineEdit* Text7;      // created on, locked
    QLineEdit* Text8;      // email
    QLineEdit* Text9;      // url
    QLineEdit* Text10;     // modified on
    QLineEdit* Text11;     // the search text, never shown

    DataControl* Data1;

    void Form_Load() override;

  protected:
    // Closing the window through its frame leaves it as "<<Back" does.
    void closedThroughFrame() override;

  private:
    void makeButtons();
    void makeDataControl();
    void makeNameFields();
    void makeDayAndNoteFields();
    void connectHandlers();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();

    // The one procedure behind the four refresh buttons: each reads its own box of the find
    // window and looks that text up in its own column.
    void refreshBy(LookupColumn column);
    FindSearch& findWindow() const;

    void showAwaitingRefresh();
    void setFieldsVisible(bool visible);
    void setRefreshButtonsVisible(bool visible);
    // Refuses "Edit" when there is no contact to edit, before anything is stamped.
    void requireContactToEdit() const;
    // The arrows may already have stored the edited row; then only later typing is left.
    void storeEditUnderWay();
    // Every row this window stores carries the day of the change, unless a day was typed into
    // "Modified On" for that row.
    void stampUnlessTyped();

    // The caption of a column's box.
    QLabel* fieldLabel(const QString& name, contact_table::Column column, TwipsRect rect,
                       int tabIndex);
    QLineEdit* boundBox(QLabel* caption, const QString& name, TwipsRect rect, int tabIndex,
                        contact_table::Column column);
    QPlainTextEdit* boundMultiLineBox(QLabel* caption, const QString& name, TwipsRect rect,
                                      int tabIndex, contact_table::Column column);

    QList<QWidget*> fields_; // Label1 to Label10 and Text1 to Text10
};
