// File > Export: the result (and the system's truth table) in the formats of
// the tools a design goes to next, named and placed as the other exports.

#include <QDir>
#include <QFileInfo>

#include "engine/io/Blif.h"
#include "engine/io/Csv.h"
#include "engine/io/Eqntott.h"
#include "engine/io/FileIO.h"
#include "engine/io/Json.h"
#include "engine/io/Latex.h"
#include "engine/io/Pla.h"
#include "engine/io/Steps.h"
#include "engine/io/SystemSets.h"
#include "engine/io/Verilog.h"
#include "engine/io/Vhdl.h"
#include "ui/Main.h"

namespace tavro {

namespace {

// The name written for a chosen name: ".ext" appended unless the name ends
// in it (in any case) or names a folder or a device.
QString WithExtension(const QString& name, const QString& extension) {
  const QString end = QLatin1Char('.') + extension;
  if (name.endsWith(end, Qt::CaseInsensitive) || NamesFolderOrDevice(FileNameBytes(name))) return name;
  return name + end;
}

}  // namespace

const std::vector<TfrmMain::TExportFormat>& TfrmMain::ExportFormats() {
  static const std::vector<TExportFormat> formats = {
      {"mnuExportVerilog", "Verilog...", "Verilog files (*.v *.V)", "v", TExportKind::Verilog},
      {"mnuExportPla", "PLA...", "PLA files (*.pla *.PLA)", "pla", TExportKind::Pla},
      {"mnuExportPlaDontCares", "PLA with Don't Cares...", "PLA files (*.pla *.PLA)", "pla", TExportKind::PlaDontCares},
      {"mnuExportBlif", "BLIF...", "BLIF files (*.blif *.BLIF)", "blif", TExportKind::Blif},
      {"mnuExportEqntott", "eqntott Equations...", "eqntott files (*.eqn *.EQN)", "eqn", TExportKind::Eqntott},
      {"mnuExportCsv", "CSV Truth Table...", "CSV files (*.csv *.CSV)", "csv", TExportKind::Csv},
      {"mnuExportJson", "JSON...", "JSON files (*.json *.JSON)", "json", TExportKind::Json},
      {"mnuExportLatex", "LaTeX...", "LaTeX files (*.tex *.TEX)", "tex", TExportKind::Latex},
  };
  return formats;
}

bool TfrmMain::ExportAllowed(TExportKind kind) const {
  if (Running()) return false;
  if (kind != TExportKind::Csv) return FDocument.ResultReady() && FDocument.ResultCubes() != nullptr;
  // The truth table needs listed terms, and no more inputs than it holds.
  const TFunctionSystem& system = FDocument.System();
  return system.InputBits > 0 && system.InputBits <= kMaxCsvInputs && !system.TermsInSource;
}

void TfrmMain::UpdateExportItems() {
  const auto& formats = ExportFormats();
  for (size_t k = 0; k < ExportItems.size(); ++k) ExportItems[k]->setEnabled(ExportAllowed(formats[k].Kind));
  if (mnuExportLatex) mnuExportLatex->setEnabled(ExportAllowed(TExportKind::Latex));
}

void TfrmMain::ExportTo(const TExportFormat& format) {
  if (!ExportAllowed(format.Kind)) return;
  const QString extension = QString::fromLatin1(format.Extension);
  const auto written = [extension](const QString& name) { return WithExtension(name, extension); };
  const std::optional<QString> name = ExecuteSaveDialog(QString::fromLatin1(format.Filter), extension, written);
  if (!name) return;
  const std::string path = FileNameBytes(written(*name));
  const TFunctionSystem& system = FDocument.System();
  const TCover* result = system.ResultCubes.get();
  const int inputs = system.InputBits, outputs = system.FunctionCount(), mode = system.ResultMode;
  // The PLA and the HDL follow Signal Names, as the text does; the other
  // formats carry a file's names wherever they can.
  const TSignalNames shown = ShownNames();
  RunFileWork(QStringLiteral("Writing %1...").arg(QFileInfo(written(*name)).fileName()), [&] {
    std::string text;
    switch (format.Kind) {
      case TExportKind::Verilog: text = VerilogText(*result, inputs, outputs, mode, TodayShortDate(), shown); break;
      case TExportKind::Pla: text = PlaText(*result, inputs, outputs, mode, shown); break;
      case TExportKind::PlaDontCares: {
        const TCover dontCares = DontCareCubes(system);
        text = PlaText(*result, inputs, outputs, mode, shown, {&dontCares, nullptr});
        break;
      }
      case TExportKind::Blif: text = BlifText(*result, inputs, outputs, mode, system.Names); break;
      case TExportKind::Eqntott: text = EqntottText(*result, inputs, outputs, mode, system.Names); break;
      case TExportKind::Csv: text = CsvText(system, system.Names); break;
      case TExportKind::Json: text = JsonText(system, FLastStats.Figures()); break;
      case TExportKind::Latex: text = LatexText(system, system.Names); break;
    }
    WriteFileAtomic(path, text);
  });
  RunStatus(QStringLiteral("Written to %1.").arg(QDir::toNativeSeparators(written(*name))));
}

void TfrmMain::ExportSteps(bool latex) {
  if (!FLastSteps) return;
  const QString extension = latex ? QStringLiteral("tex") : QStringLiteral("html");
  const auto written = [extension](const QString& name) { return WithExtension(name, extension); };
  const std::optional<QString> name =
      ExecuteSaveDialog(latex ? QStringLiteral("LaTeX documents (*.tex)") : QStringLiteral("HTML pages (*.html *.htm)"),
                        extension, written, QStringLiteral("-steps"));
  if (!name) return;
  const std::string path = FileNameBytes(written(*name));
  const TSignalNames names = ShownNames();
  const std::shared_ptr<const TStepRecord> steps = FLastSteps;
  RunFileWork(QStringLiteral("Writing %1...").arg(QFileInfo(written(*name)).fileName()),
              [&] { WriteFileAtomic(path, latex ? StepsLatex(*steps, names) : StepsHtml(*steps, names)); });
  RunStatus(QStringLiteral("Written to %1.").arg(QDir::toNativeSeparators(written(*name))));
}

}  // namespace tavro
