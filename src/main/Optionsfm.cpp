#include "main/Optionsfm.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "ui_Optionsfm.h"

namespace toponyx::desktop {

namespace {
QCheckBox* ClassBox(QWidget* dialog, char letter) {
  return dialog->findChild<QCheckBox*>(QStringLiteral("cbClass") + QChar(letter));
}
}  // namespace

TOptionsfm::TOptionsfm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TOptionsfm>()) {
  ui_->setupUi(this);
  connect(ui_->Buttons, &QDialogButtonBox::accepted, this, &TOptionsfm::accept);
  connect(ui_->Buttons, &QDialogButtonBox::rejected, this, &TOptionsfm::reject);
  connect(ui_->bMapArea, &QPushButton::clicked, this, &TOptionsfm::TakeMapArea);
  ui_->bMapArea->setEnabled(false);
  ui_->LabelProblem->setVisible(false);
  SetTypeCodes({});
}

TOptionsfm::~TOptionsfm() = default;

void TOptionsfm::SetTypeCodes(const std::vector<std::string>& codes) {
  ui_->lbTypes->clear();
  for (const std::string& code : codes) {
    auto* item = new QListWidgetItem(
        QString::fromLatin1(code.data(), static_cast<int>(code.size())), ui_->lbTypes);
    item->setCheckState(Qt::Checked);
  }
  ui_->LabelNoTypes->setVisible(codes.empty());
}

void TOptionsfm::SetChoices(const pipeline::Choices& choices) {
  ui_->gbArea->setChecked(choices.area.has_value());
  if (choices.area) {
    ui_->sbSouth->setValue(choices.area->south);
    ui_->sbWest->setValue(choices.area->west);
    ui_->sbNorth->setValue(choices.area->north);
    ui_->sbEast->setValue(choices.area->east);
  }
  ui_->gbTypes->setChecked(choices.types.has_value());
  if (choices.types) {
    for (int i = 0; i < ui_->lbTypes->count(); ++i)
      ui_->lbTypes->item(i)->setCheckState(Qt::Unchecked);
    for (const std::string& code : *choices.types) {
      const QString text = QString::fromLatin1(code.data(), static_cast<int>(code.size()));
      const auto found = ui_->lbTypes->findItems(text, Qt::MatchFixedString);
      QListWidgetItem* item =
          found.isEmpty() ? new QListWidgetItem(text, ui_->lbTypes) : found.front();
      item->setCheckState(Qt::Checked);
    }
    ui_->LabelNoTypes->setVisible(ui_->lbTypes->count() == 0);
  }
  ui_->gbClasses->setChecked(!choices.classes.empty());
  for (char letter : pipeline::kClassLetters) {
    ClassBox(this, letter)->setChecked(choices.classes.find(letter) != std::string::npos);
  }
  ui_->gbAlternate->setChecked(choices.alternate_names);
  ui_->eLanguages->setText(QString::fromStdString(pipeline::LanguagesText(choices.languages)));
  ui_->gbMerge->setChecked(choices.merge_metres.has_value());
  ui_->sbMetres->setValue(
      static_cast<int>(choices.merge_metres.value_or(pipeline::kDefaultMergeMetres)));
}

std::optional<pipeline::Choices> TOptionsfm::Choices() const {
  pipeline::Choices c;
  problem_.clear();
  if (ui_->gbArea->isChecked()) {
    const pipeline::Area area{ui_->sbSouth->value(), ui_->sbWest->value(), ui_->sbNorth->value(),
                              ui_->sbEast->value()};
    if (area.south > area.north) {
      problem_ = QStringLiteral("The south edge of the area lies north of its north edge.");
      return std::nullopt;
    }
    c.area = area;
  }
  if (ui_->gbTypes->isChecked()) {
    std::vector<std::string> codes;
    for (int i = 0; i < ui_->lbTypes->count(); ++i) {
      const QListWidgetItem* item = ui_->lbTypes->item(i);
      if (item->checkState() == Qt::Checked) codes.push_back(item->text().toLatin1().toStdString());
    }
    if (codes.empty()) {
      problem_ = QStringLiteral("Tick the feature types to keep, or turn the types choice off.");
      return std::nullopt;
    }
    c.types = std::move(codes);
  }
  if (ui_->gbClasses->isChecked()) {
    for (char letter : pipeline::kClassLetters) {
      if (ClassBox(const_cast<TOptionsfm*>(this), letter)->isChecked()) c.classes += letter;
    }
    if (c.classes.empty()) {
      problem_ = QStringLiteral("Tick the classes to keep, or turn the classes choice off.");
      return std::nullopt;
    }
  }
  c.alternate_names = ui_->gbAlternate->isChecked();
  if (!pipeline::ParseLanguages(ui_->eLanguages->text().toStdString(), c.languages)) {
    problem_ = QStringLiteral("Languages are codes separated by commas, such as en,de.");
    return std::nullopt;
  }
  if (ui_->gbMerge->isChecked()) c.merge_metres = ui_->sbMetres->value();
  return c;
}

QString TOptionsfm::Problem() const {
  return problem_;
}

void TOptionsfm::SetMapArea(std::function<std::optional<pipeline::Area>()> map_area) {
  map_area_ = std::move(map_area);
  ui_->bMapArea->setEnabled(static_cast<bool>(map_area_));
}

void TOptionsfm::TakeMapArea() {
  const std::optional<pipeline::Area> area = map_area_ ? map_area_() : std::nullopt;
  if (!area) return;
  ui_->gbArea->setChecked(true);
  ui_->sbSouth->setValue(area->south);
  ui_->sbWest->setValue(area->west);
  ui_->sbNorth->setValue(area->north);
  ui_->sbEast->setValue(area->east);
}

void TOptionsfm::accept() {
  if (!Choices()) {
    ui_->LabelProblem->setText(problem_);
    ui_->LabelProblem->setVisible(true);
    return;
  }
  QDialog::accept();
}

}  // namespace toponyx::desktop
