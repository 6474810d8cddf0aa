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
class AddWindow : public Window {
    Q_OBJECT
  public:
    explicit AddWindow(WindowModel& model);

    QLabel* givenNameLabel;
    QLineEdit* givenNameBox;
    QLineEdit* surnameBox;
    QLineEdit* phoneBox;
    QLineEdit* faxBox;
    QPlainTextEdit* addressBox;
    QLineEdit* emailBox;
    QLineEdit* urlBox;
    QPlainTextEdit* otherBox;
    QLabel* surnameLabel;
    QLabel* phoneLabel;
    QLabel* faxLabel;
    QLabel* addressLabel;
    QLabel* emailLabel;
    QLabel* urlLabel;
    QLabel* otherLabel;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QLineEdit* createdOnBox;
    QPushButton* addNewButton;
    QLabel* createdOnLabel;
    QPushButton* cancelUpdateButton;
    DataControl* dataControl;

    void onLoad() override;

  protected:
    void closedThroughFrame() override;

  private:
    void makeContactFields();
    void makeCreationDayAndButtons();
    void makeDataControl();
    void connectHandlers();

    void onOk();
    void onCancel();
    void onAddNew();
    void onCancelUpdate();
    // The eighteen field controls change visibility together, labels first.
    void setFieldsVisible(bool visible);
    std::array<QWidget*, 18> fields() const;
};
