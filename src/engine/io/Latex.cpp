#include "engine/io/Latex.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/io/FileIO.h"
#include "model/Errors.h"

namespace tavro {

namespace {

// A map's cell is kCellCm wide; the pictures are drawn in cell units.
constexpr double kCellCm = 0.8;
// Beside and above a map's grid, as in the window: the row labels take a
// cell's width, the map's title and the column labels 40 of a cell's 44
// units, and two maps are 28 units apart.
constexpr double kLabelWidth = 1.0;
constexpr double kLabelHeight = 40.0 / kKarnaughCell;
constexpr double kGap = 28.0 / kKarnaughCell;
// An expression is cut into paragraphs of this many cubes, so that TeX never
// holds a huge one at once.
constexpr size_t kCubesPerParagraph = 64;
// The truth table shows this many functions and rows side by side at most.
constexpr int kTableFunctions = 8;
constexpr uint32_t kTableRows = 32;

// A number with at most four decimals, written the same in every locale.
std::string Fixed(double v) {
  long long n = std::llround(v * 10000);
  std::string s = n < 0 ? "-" : "";
  n = std::llabs(n);
  s += std::to_string(n / 10000);
  if (const long long frac = n % 10000; frac != 0) {
    std::string digits = std::to_string(frac);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    s += "." + digits;
  }
  return s == "-0" ? "0" : s;
}

std::string Point(double x, double y) { return "(" + Fixed(x) + "," + Fixed(y) + ")"; }

// The value of a function at a row: '1', '0' or '-' (don't care).
char RowValue(const TTermVector& f, uint32_t row) {
  const auto& terms = f.Terms();
  const auto it = std::lower_bound(terms.begin(), terms.end(), static_cast<int32_t>(row));
  if (it == terms.end() || *it != static_cast<int32_t>(row)) return f.IsMaxterms() ? '1' : '0';
  if (f.DontCares()[static_cast<size_t>(it - terms.begin())]) return '-';
  return f.IsMaxterms() ? '0' : '1';
}

std::string Plural(size_t n, const std::string& word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

class TLatexWriter {
 public:
  TLatexWriter(const TFunctionSystem& system, const TSignalNames& names)
      : FSystem(system),
        FCover(*system.ResultCubes),
        FNames(names),
        FInputs(system.InputBits),
        FPos(system.ResultMode == modePOS) {
    // Where every input is named by one character a product is written as
    // its literals side by side; longer names are kept apart by dots.
    FShortNames = true;
    for (int p = 1; p <= FInputs; ++p) FShortNames &= FNames.Input(p).size() == 1;
  }

  std::string Text() {
    Preamble();
    Out += "\\begin{document}\n";
    Heading();
    TruthTable();
    Maps();
    Expressions();
    Out += "\\end{document}\n";
    return std::move(Out);
  }

 private:
  std::string InputName(int position) const { return LatexEscape(FNames.Input(position)); }
  std::string OutputName(int f) const { return LatexEscape(FNames.Output(f)); }
  // The names of count inputs from position first, for an axis: side by side
  // where each is one character, otherwise with commas between.
  std::string AxisNames(int first, int count) const {
    std::string s;
    for (int p = first; p < first + count; ++p) {
      if (p > first && !FShortNames) s += ",";
      s += InputName(p);
    }
    return s;
  }

  // How many characters the names of an axis take (AxisNames without its
  // markup).
  size_t AxisLength(int first, int count) const {
    size_t length = FShortNames || count == 0 ? 0 : static_cast<size_t>(count - 1);
    for (int p = first; p < first + count; ++p) length += FNames.Input(p).size();
    return length;
  }

  void Preamble() {
    Out += "% " + (FSystem.CurrentFileName.empty() ? std::string("A function system") : "The function system") +
           " and its minimal " + (FPos ? "product of sums" : "sum of products") + ", written by Tavro " +
           TAVRO_VERSION + ".\n";
    Out += "% Compile with pdflatex (TikZ draws the Karnaugh maps).\n";
    Out +=
        "\\documentclass[10pt,a4paper]{article}\n"
        "\\usepackage[margin=2cm]{geometry}\n"
        "\\usepackage{graphicx}\n"
        "\\usepackage{tikz}\n"
        "\\setlength{\\parindent}{0pt}\n"
        "\\setlength{\\parskip}{0.5ex}\n"
        "\\newsavebox{\\fitbox}\n"
        "% \\fitwidth{...}: the content, made smaller where it is wider than the line.\n"
        "\\newcommand{\\fitwidth}[1]{\\sbox{\\fitbox}{#1}\\ifdim\\wd\\fitbox>\\linewidth"
        "\\resizebox{\\linewidth}{!}{\\usebox{\\fitbox}}\\else\\usebox{\\fitbox}\\fi}\n"
        "\\definecolor{kgrid}{RGB}{160,160,160}\n"
        "\\definecolor{kother}{RGB}{175,175,175}\n"
        "\\definecolor{kdontcare}{RGB}{30,90,200}\n"
        "\\tikzset{\n"
        "  kmap/.style={x=" +
        Fixed(kCellCm) + "cm, y=-" + Fixed(kCellCm) +
        "cm},\n"
        "  kgrid/.style={draw=kgrid, line width=0.4pt},\n"
        "  knumber/.style={anchor=north west, inner sep=0.6pt, fill=white, fill opacity=0.82, text opacity=1,\n"
        "    text=kgrid, font=\\scriptsize},\n"
        "  klisted/.style={font=\\small\\bfseries},\n"
        "  kother/.style={font=\\small\\bfseries, text=kother},\n"
        "  kdontcare/.style={font=\\small, text=kdontcare},\n"
        "  kcolumn/.style={font=\\footnotesize, inner sep=1pt},\n"
        "  krow/.style={kcolumn, anchor=east},\n"
        "  kcorner/.style={krow},\n"
        "  ktitle/.style={font=\\footnotesize\\bfseries, inner sep=1pt},\n"
        "}\n"
        "% \\kcell{x}{y}{term}{value}{style}: a cell of a map with its centre at (x,y):\n"
        "% the term's number in its corner, on a light backing that keeps it\n"
        "% readable over the loops, and the function's value in the middle.\n"
        "\\newcommand{\\kcell}[5]{\\node[knumber] at (#1-0.44,#2-0.48) {#3};\\node[#5] at (#1,#2) {#4};}\n"
        "% \\kpiece{x0}{y0}{x1}{y1}{x0}{y0}{x1}{y1}{style}: a piece of a loop, the\n"
        "% second rectangle cut to the first (its map, a little enlarged).\n"
        "\\newcommand{\\kpiece}[9]{\\begin{scope}\\clip (#1,#2) rectangle (#3,#4);"
        "\\draw[#9] (#5,#6) rectangle (#7,#8);\\end{scope}}\n";
  }

  void Heading() {
    const std::string name = FSystem.CurrentFileName.empty() ? std::string() : BaseName(FSystem.CurrentFileName);
    Out += "\\section*{" + (name.empty() ? std::string("Function system") : LatexEscape(name)) + "}\n";
    Out += Plural(static_cast<size_t>(FSystem.FunctionCount()), "function") + " of " +
           Plural(static_cast<size_t>(FInputs), "input") + ", minimized as a " +
           (FPos ? "product of sums (POS)" : "sum of products (SOP)") + ": " + Plural(FCover.Count(), "cube") + ".\n\n";
  }

  // --- truth table --------------------------------------------------------

  void TruthTable() {
    Out += "\\section*{Truth table}\n";
    if (FInputs > kLatexMaxTableInputs) {
      Out += "The truth table is left out: it is written for systems of at most " +
             std::to_string(kLatexMaxTableInputs) + " inputs, and this one has " + std::to_string(FInputs) + " ($2^{" +
             std::to_string(FInputs) + "}$ rows).\n\n";
      return;
    }
    Out += "A row gives the inputs, then each function's value: 1, 0, or - for don't care.\n\n";
    const int functions = FSystem.FunctionCount();
    const uint32_t rows = 1u << FInputs;
    // Groups of functions one under the other, each with the inputs; the rows
    // of a group in blocks side by side.
    for (int first = 0; first < functions; first += kTableFunctions) {
      const int last = std::min(functions, first + kTableFunctions);
      Out += "\\fitwidth{\\footnotesize";
      for (uint32_t start = 0; start < rows; start += kTableRows) {
        if (start > 0) Out += "\\hspace{2em}";
        Out += "\\begin{tabular}[t]{" + std::string(static_cast<size_t>(FInputs), 'c') + "|" +
               std::string(static_cast<size_t>(last - first), 'c') + "}\n";
        for (int p = 1; p <= FInputs; ++p) Out += (p > 1 ? " & " : "") + InputName(p);
        for (int f = first; f < last; ++f) Out += " & " + OutputName(f);
        Out += " \\\\ \\hline\n";
        for (uint32_t row = start; row < std::min(rows, start + kTableRows); ++row) {
          for (int p = 1; p <= FInputs; ++p) {
            if (p > 1) Out += " & ";
            Out += (row >> (FInputs - p)) & 1u ? '1' : '0';
          }
          for (int f = first; f < last; ++f) {
            Out += " & ";
            Out += RowValue(FSystem.Functions[static_cast<size_t>(f)], row);
          }
          Out += " \\\\\n";
        }
        Out += "\\end{tabular}";
      }
      Out += "}\n\n";
    }
  }

  // --- Karnaugh maps --------------------------------------------------------

  void Maps() {
    Out += "\\section*{Karnaugh maps}\n";
    if (FInputs > kKarnaughMaxInputs || FInputs < 1) {
      Out += "The Karnaugh maps are left out: they are drawn for 1 to " + std::to_string(kKarnaughMaxInputs) +
             " inputs, and this system has " + std::to_string(FInputs) + ".\n\n";
      return;
    }
    Out += std::string("Each loop is a cube of the result: ") +
           (FPos ? "a sum whose zeros it circles" : "a product whose ones it circles") +
           ". A dashed loop serves other functions as well. The small numbers are the cells' terms.\n\n";
    const TKarnaughLayout layout = KarnaughLayout(FInputs);
    // The corner left of the column labels holds the rows' and the columns'
    // names as far as they fit there (about six characters, as "CD\\EF"), a
    // title above a map the maps' names as far as it is wide; longer names
    // are said once in a sentence instead.
    FCornerNames =
        AxisLength(layout.FirstRowInput(), layout.RowBits) + AxisLength(layout.FirstColumnInput(), layout.ColumnBits) <=
        6;
    FTitleNames = AxisLength(layout.FirstMapInput(), layout.MapBits) <= 12;
    if (!FCornerNames || !FTitleNames) {
      auto list = [&](int first, int count) {
        std::string s;
        for (int p = first; p < first + count; ++p) s += (p > first ? ", " : "") + InputName(p);
        return count ? s : std::string("no input");
      };
      Out += "{\\raggedright In the maps, ";
      if (!FTitleNames) Out += "the titles give " + list(layout.FirstMapInput(), layout.MapBits) + "; ";
      Out += "the rows " + list(layout.FirstRowInput(), layout.RowBits) + "; the columns " +
             list(layout.FirstColumnInput(), layout.ColumnBits) + ".\\par}\n\n";
    }
    for (int f = 0; f < FSystem.FunctionCount(); ++f) FunctionMaps(layout, f);
  }

  // Where the grid of a map starts, in cell units.
  static std::pair<double, double> GridOrigin(const TKarnaughLayout& layout, int map) {
    const int gx = map % layout.MapsAcross(), gy = map / layout.MapsAcross();
    return {gx * (kLabelWidth + layout.Columns() + kGap), gy * (kLabelHeight + layout.Rows() + kGap)};
  }

  void FunctionMaps(const TKarnaughLayout& layout, int f) {
    const TTermVector& function = FSystem.Functions[static_cast<size_t>(f)];
    const char listed = function.IsMaxterms() ? '0' : '1';
    Out += "\\subsection*{" + OutputName(f) + " (" + (function.IsMaxterms() ? "maxterms" : "minterms") + ")}\n";

    // The function's cubes: their colours and lines, for the maps and the legend.
    struct TLoop {
      size_t Cube;
      std::string Style;
      std::vector<int> SharedWith;
    };
    std::vector<TLoop> loops;
    for (size_t i = 0; i < FCover.Count(); ++i) {
      if (!FCover.Tag(i, f)) continue;
      TLoop loop{i, "", {}};
      for (int g = 0; g < FCover.FunctionCount; ++g)
        if (g != f && FCover.Tag(i, g)) loop.SharedWith.push_back(g);
      const std::string color = "kloop" + std::to_string(loops.size());
      const TRgb rgb = HsvToRgb(KarnaughLoopColor(FCover.Value(i), FCover.Mask(i)));
      Out += "\\definecolor{" + color + "}{rgb}{" + Fixed(rgb.Red) + "," + Fixed(rgb.Green) + "," + Fixed(rgb.Blue) +
             "}\n";
      const TKarnaughStroke stroke = KarnaughStroke(false, !loop.SharedWith.empty());
      const double width = stroke.Width / kKarnaughCell * kCellCm;
      loop.Style = "draw=" + color + ", line width=" + Fixed(width) + "cm";
      if (stroke.Line == TKarnaughLine::Dashed)
        loop.Style += ", dash pattern=on " + Fixed(4 * width) + "cm off " + Fixed(2 * width) + "cm";
      else if (stroke.Line == TKarnaughLine::Dotted)
        loop.Style += ", dash pattern=on " + Fixed(width) + "cm off " + Fixed(2 * width) + "cm";
      loops.push_back(std::move(loop));
    }

    Out += "\\fitwidth{\\begin{tikzpicture}[kmap]\n";
    MapLabels(layout);
    for (int map = 0; map < layout.Maps(); ++map) {
      const auto [ox, oy] = GridOrigin(layout, map);
      for (int c = 0; c <= layout.Columns(); ++c)
        Out += "\\draw[kgrid] " + Point(ox + c, oy) + " -- " + Point(ox + c, oy + layout.Rows()) + ";\n";
      for (int r = 0; r <= layout.Rows(); ++r)
        Out += "\\draw[kgrid] " + Point(ox, oy + r) + " -- " + Point(ox + layout.Columns(), oy + r) + ";\n";
    }
    for (size_t k = 0; k < loops.size(); ++k) {
      const uint32_t value = FCover.Value(loops[k].Cube), mask = FCover.Mask(loops[k].Cube);
      Out += "% loop " + std::to_string(value) + " " + std::to_string(mask) + "\n";
      const double inset = KarnaughLoopInset(false, static_cast<int>(k)) / kKarnaughCell;
      const double clip = 1.0 / kKarnaughCell;
      for (const TKarnaughPiece& piece : KarnaughPieces(layout, value, mask)) {
        const auto [ox, oy] = GridOrigin(layout, piece.Map);
        const double x0 = ox + piece.Column + inset, y0 = oy + piece.Row + inset;
        const double x1 = ox + piece.Column + piece.Columns - inset, y1 = oy + piece.Row + piece.Rows - inset;
        // Corners no rounder than the shape allows, as the window's drawing
        // keeps them.
        const double radius = std::min({kKarnaughLoopRadius / kKarnaughCell, (x1 - x0) / 2, (y1 - y0) / 2}) * kCellCm;
        Out += "\\kpiece{" + Fixed(ox - clip) + "}{" + Fixed(oy - clip) + "}{" + Fixed(ox + layout.Columns() + clip) +
               "}{" + Fixed(oy + layout.Rows() + clip) + "}{" + Fixed(x0) + "}{" + Fixed(y0) + "}{" + Fixed(x1) + "}{" +
               Fixed(y1) + "}{" + loops[k].Style + ", rounded corners=" + Fixed(radius) + "cm}\n";
      }
    }
    // The cells over the loops, so that every number stays readable.
    const TTermVector& fn = function;
    for (uint32_t term = 0; term < (1u << FInputs); ++term) {
      const TKarnaughCell cell = KarnaughCell(layout, term);
      const auto [ox, oy] = GridOrigin(layout, cell.Map);
      const char v = RowValue(fn, term);
      const std::string style = v == '-' ? "kdontcare" : v == listed ? "klisted" : "kother";
      Out += "\\kcell{" + Fixed(ox + cell.Column + 0.5) + "}{" + Fixed(oy + cell.Row + 0.5) + "}{" +
             std::to_string(term) + "}{" + (v == '-' ? 'd' : v) + "}{" + style + "}\n";
    }
    Out += "\\end{tikzpicture}}\n\n";

    // The legend: each loop's line and its cube.
    Out += std::string(FPos ? "POS" : "SOP") + " result: " + Plural(loops.size(), "cube") +
           (loops.empty() ? "." : ":") + "\n\n";
    for (const TLoop& loop : loops) {
      Out += "{\\raggedright\\tikz[baseline=-0.6ex]\\draw[" + loop.Style +
             ", rounded corners=2pt] (0,-0.12) rectangle (0.6,0.12); $" + CubeMath(loop.Cube) + "$";
      if (!loop.SharedWith.empty()) {
        Out += " \\quad shared with ";
        for (size_t k = 0; k < loop.SharedWith.size(); ++k) Out += (k ? ", " : "") + OutputName(loop.SharedWith[k]);
      }
      Out += "\\par}\n";
    }
    Out += "\n";
  }

  void MapLabels(const TKarnaughLayout& layout) {
    const std::string corner = AxisNames(layout.FirstRowInput(), layout.RowBits) + "\\textbackslash{}" +
                               AxisNames(layout.FirstColumnInput(), layout.ColumnBits);
    for (int map = 0; map < layout.Maps(); ++map) {
      const auto [ox, oy] = GridOrigin(layout, map);
      if (layout.MapBits > 0)
        Out += "\\node[ktitle] at " + Point(ox + layout.Columns() / 2.0, oy - 30.0 / kKarnaughCell) + " {" +
               (FTitleNames ? AxisNames(layout.FirstMapInput(), layout.MapBits) + " = " : std::string()) +
               KarnaughMapBits(layout, map) + "};\n";
      if (FCornerNames) Out += "\\node[kcorner] at " + Point(ox, oy - 10.0 / kKarnaughCell) + " {" + corner + "};\n";
      for (int c = 0; c < layout.Columns(); ++c)
        Out += "\\node[kcolumn] at " + Point(ox + c + 0.5, oy - 10.0 / kKarnaughCell) + " {" +
               KarnaughColumnBits(layout, c) + "};\n";
      for (int r = 0; r < layout.Rows() && layout.RowBits > 0; ++r)
        Out += "\\node[krow] at " + Point(ox - 6.0 / kKarnaughCell, oy + r + 0.5) + " {" + KarnaughRowBits(layout, r) +
               "};\n";
    }
  }

  // --- expressions ----------------------------------------------------------

  std::string Literal(const TLiteral& literal) const {
    const std::string name = "\\textit{" + InputName(literal.Position + 1) + "}";
    return literal.Complemented ? "\\overline{" + name + "}" : name;
  }

  // One cube as math: a product (SOP) or a sum in parentheses (POS).
  std::string CubeMath(size_t i) const {
    const auto literals = FCover.Literals(i, FPos);
    std::string s;
    if (FPos) {
      s += "(";
      for (size_t n = 0; n < literals.size(); ++n) s += (n ? " + " : "") + Literal(literals[n]);
      if (literals.empty()) s += "0";  // the constant cube
      return s + ")";
    }
    for (size_t n = 0; n < literals.size(); ++n) s += (n && !FShortNames ? " \\cdot " : "") + Literal(literals[n]);
    return literals.empty() ? "1" : s;  // the constant cube
  }

  void Expressions() {
    Out += "\\section*{Minimal expressions}\n";
    Out += "{\\raggedright\n";
    for (int f = 0; f < FSystem.FunctionCount(); ++f) {
      Out += "$\\textit{" + OutputName(f) + "} = ";
      size_t written = 0;
      for (size_t i = 0; i < FCover.Count(); ++i) {
        if (!FCover.Tag(i, f)) continue;
        if (written > 0) {
          if (written % kCubesPerParagraph == 0) Out += FPos ? "$\\par\n$\\qquad " : "$\\par\n$\\qquad{} + ";
          else Out += FPos ? "\\allowbreak " : " + ";
        }
        Out += CubeMath(i);
        ++written;
      }
      // A function without cubes is the constant the empty sum or product is.
      if (written == 0) Out += FPos ? "1" : "0";
      Out += "$\\par\n";
    }
    Out += "}\n";
  }

  const TFunctionSystem& FSystem;
  const TCover& FCover;
  const TSignalNames& FNames;
  const int FInputs;
  const bool FPos;
  bool FShortNames = true;
  bool FCornerNames = true, FTitleNames = true;  // where the maps' labels name the inputs
  std::string Out;
};

}  // namespace

std::string LatexEscape(const std::string& text) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\textbackslash{}"; break;
      case '{':
      case '}':
      case '&':
      case '#':
      case '%':
      case '_':
        out += '\\';
        out += ch;
        break;
      // The text fonts have no dollar sign of their own (LaTeX would make one
      // as a bitmap font); the math font's is the same sign.
      case '$': out += "\\ensuremath{\\mathdollar}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      case '~': out += "\\textasciitilde{}"; break;
      case '<': out += "\\textless{}"; break;
      case '>': out += "\\textgreater{}"; break;
      case '|': out += "\\textbar{}"; break;
      case '"': out += "{\\ttfamily\\char34}"; break;
      case '[':
      case ']':
        out += '{';
        out += ch;
        out += '}';
        break;
      // Characters that would join their neighbours into ligatures (--, ``,
      // '', !`, ?`) are kept apart.
      case '-':
      case '\'':
        out += ch;
        out += "{}";
        break;
      case '`': out += "{}`{}"; break;
      case ' ': out += "\\ "; break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          out += "{\\ttfamily\\char94\\char94 ";
          out += kHex[c >> 4];
          out += kHex[c & 15];
          out += '}';
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string LatexText(const TFunctionSystem& system, const TSignalNames& names) {
  if (!system.ResultCubes || !system.ResultReady)
    throw TavroError("There is no result to write as LaTeX: run SOP or POS first");
  const TCover& cover = *system.ResultCubes;
  if (cover.Width != system.InputBits || cover.FunctionCount != system.FunctionCount())
    throw TavroError("The result is not that of the system as it is now: run SOP or POS again");
  return TLatexWriter(system, names).Text();
}

void WriteLatex(const TFunctionSystem& system, const std::string& path, const TSignalNames& names) {
  WriteFileAtomic(path, LatexText(system, names));
}

}  // namespace tavro
