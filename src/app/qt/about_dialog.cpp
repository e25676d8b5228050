#include "app/qt/about_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/qt/app_icon.h"
#include "options/version.h"

namespace lumo {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Lumo");
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* realTime = new QLabel("Real-time", this);
    realTime->setTextFormat(Qt::PlainText);
    auto* product = new QLabel("Lumo", this);
    product->setTextFormat(Qt::PlainText);
    auto* release = new QLabel(QString("Design Demo Release %1 (03/16/2006)").arg(programVersion()), this);
    release->setTextFormat(Qt::PlainText);

    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1);
    layout->addWidget(realTime, 0, 1);
    layout->addWidget(product, 1, 1);
    layout->addWidget(release, 2, 1);
    layout->addWidget(ok, 3, 2, Qt::AlignRight | Qt::AlignBottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace lumo
