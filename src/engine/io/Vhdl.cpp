#include "engine/io/Vhdl.h"

#include <cctype>
#include <clocale>
#include <ctime>

#include "engine/io/FileIO.h"
#include "engine/io/HdlBody.h"

namespace tavro {

namespace {

const THdlSyntax kVhdl = {
    .CubeStart = "  x",
    .CubeAssign = " <= ",
    .OutputStart = "  output(",
    .OutputAssign = ") <= ",
    .And = "and ",
    .Or = "or ",
    .Not = "not ",
    .InputStart = "input(",
    .InputEnd = ") ",
    .SignalStart = "x",
    .SignalEnd = " ",
    .One = "'1' ",
    .Zero = "'0' ",
    .StatementEnd = "after 0 ps;\r\n",
};

}  // namespace

std::string VhdlText(const TCover& cubes, int inputBits, int functionCount, int mode, const std::string& date,
                     const TSignalNames& names) {
  const std::string crlf = "\r\n";

  std::string t;
  AppendHdlHeader(t, std::string(70, '-'), "--", date);
  AppendHdlNames(t, "--", names, inputBits, functionCount, kVhdl, "output(");
  t += "library IEEE;" + crlf;
  t += "use IEEE.std_logic_1164.all;" + crlf;
  t += "entity SOP is" + crlf;
  t += crlf;
  t += "  port (input : in std_logic_vector(" + std::to_string(inputBits - 1) + " downto 0);" + crlf;
  t += "       output : out std_logic_vector(" + std::to_string(functionCount - 1) + " downto 0));" + crlf;
  t += "end SOP;" + crlf;
  t += crlf;
  t += "architecture struct of SOP is" + crlf;
  t += "  signal " + HdlSignalList(cubes.Count()) + " : std_logic;" + crlf;
  t += "begin" + crlf;

  AppendHdlStatements(t, cubes, functionCount, mode, kVhdl);
  t += "end struct;";
  return t;
}

std::string VhdlPath(const std::string& name, TExtensionCase extensionCase) {
  if (name.size() >= 4) {
    std::string end = name.substr(name.size() - 4);
    if (extensionCase == TExtensionCase::Any)
      for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (end == ".vhd") return name;
  }
  // A folder is refused by the write, a device written to: neither is
  // another file beside it.
  if (NamesFolderOrDevice(name)) return name;
  return name + ".vhd";
}

void WriteVHDL(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
               const std::string& date, const TSignalNames& names) {
  WriteFileAtomic(path, VhdlText(cubes, inputBits, functionCount, mode, date, names));
}

std::string TodayShortDate() {
  static const bool localeSet = [] {
    std::setlocale(LC_TIME, "");
    return true;
  }();
  (void)localeSet;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[64];
  if (std::strftime(buffer, sizeof buffer, "%x", &local) == 0) return {};
  return buffer;
}

}  // namespace tavro
