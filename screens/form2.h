#pragma once

#include "shell/window_model.h"

#include <array>

class DataControl;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The add-contact window: a new contact is typed, stamped with the day it was created and
// stored. Its state lives only in which buttons and fields are visible.
class Form2 : public Window {
    Q_OBJECT
  public:
    explicit Form2(WindowModel& model);

    QLabel* Label1;
    QLineEdit* Text1;      // Name
    QLineEdit* Text2;      // Surname
    QLineEdit* Text3;      // phone
    QLineEdit* Text4;      // fax
    QPlainTextEdit* Text5; // address
    QLineEdit* Text8;      // email
    QLineEdit* Text9;      // url
    QPlainTextEdit* Text6; // other
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QPushButton* Command1; // "OK"
    QPushButton* Command2; // "Cancel"
    QLineEdit* Text7;      // created on, locked
    QPushButton* Command3; // "Add New"
    QLabel* Label9;
    QPushButton* Command4; // "Cancel Update"
    DataControl* Data1;

    void Form_Load() override;

  protected:
    void closedThroughFrame() override;

  private:
    void makeContactFields();
    void makeCreationDayAndButtons();
    void makeDataControl();
    void connectHandlers();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    // The eighteen field controls change visibility together, labels first.
    void setFieldsVisible(bool visible);
    std::array<QWidget*, 18> fields() const;
};
