// The modal About box.
#pragma once

#include <QDialog>

namespace lumo {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace lumo
