// TOptionsfm: what goes into the database — an area (typed, or the part of
// the map the View window shows), the feature types the last run wrote,
// the nine classes, alternate names and their languages, and merged
// duplicates with their distance. The main window keeps the choices and
// remembers them in TOPONYX.INI.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/Choices.h"

namespace Ui {
class TOptionsfm;
}

namespace toponyx::desktop {

class TOptionsfm : public QDialog {
  Q_OBJECT

 public:
  explicit TOptionsfm(QWidget* parent = nullptr);
  ~TOptionsfm() override;

  // The codes offered as types (those of the last run's .types file);
  // call before SetChoices. Chosen codes the list lacks are added to it.
  void SetTypeCodes(const std::vector<std::string>& codes);
  void SetChoices(const pipeline::Choices& choices);
  // The choices as the dialog shows them; nullopt with the reason in
  // Problem() when they are not whole (south above north, no type or class
  // ticked, languages that are no codes).
  std::optional<pipeline::Choices> Choices() const;
  QString Problem() const;
  // Where "From the map" takes the area (none: the button is disabled).
  void SetMapArea(std::function<std::optional<pipeline::Area>()> map_area);

  void accept() override;

 private:
  void TakeMapArea();

  std::unique_ptr<Ui::TOptionsfm> ui_;
  std::function<std::optional<pipeline::Area>()> map_area_;
  mutable QString problem_;
};

}  // namespace toponyx::desktop
