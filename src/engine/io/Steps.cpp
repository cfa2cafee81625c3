#include "engine/io/Steps.h"

#include <algorithm>
#include <set>

#include "engine/core/FunctionSystem.h"
#include "engine/io/Format.h"
#include "engine/io/Latex.h"

namespace tavro {

namespace {

const char* const kCheck = "\xE2\x9C\x93";  // the mark of a cube combined further
const char* const kCross = "\xC3\x97";      // a cell of the chart

// --- the layout: sections of paragraphs, tables and lines -----------------

struct TTable {
  std::string Caption;
  std::vector<std::string> Head;
  std::vector<std::vector<std::string>> Rows;
  std::vector<size_t> GroupStarts;  // rows that open a group (ruled off from the one before)
  std::vector<uint8_t> MarkedRows, MarkedColumns;
  std::string Mark;  // what a marked row or column is
};

struct TLine {
  int Depth = 0;
  std::string Text;
};

struct TSection {
  std::string Heading;
  std::vector<std::string> Paragraphs;
  std::vector<TTable> Tables;
  bool SideBySide = false;         // where the page allows
  std::vector<std::string> After;  // paragraphs after the tables
  std::vector<TLine> Items;
  std::vector<std::string> Formulas;
};

struct TLayout {
  std::string Title = "Algorithm Analysis";
  std::string Summary;
  std::vector<TSection> Sections;
};

std::string Plural(int64_t n, const std::string& word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

class TLayoutMaker {
 public:
  TLayoutMaker(const TStepRecord& record, const TSignalNames& names) : R(record), Names(names) {}

  TLayout Make() {
    if (!R.Begun) {
      Out.Summary = "No run has been recorded yet: run SOP or POS.";
      return Out;
    }
    Summary();
    if (R.Tables) {
      Levels();
      PrimesAndChart();
      Selection();
    } else {
      Counts();
    }
    Result();
    return Out;
  }

 private:
  const TStepRecord& R;
  const TSignalNames& Names;
  TLayout Out;

  bool Pos() const { return R.Start.Mode == modePOS; }
  bool ManyFunctions() const { return R.Start.Functions.size() > 1; }
  std::string RunFunction(int f) const { return Names.Output(R.Start.Functions[static_cast<size_t>(f)]); }

  void Summary() {
    std::string s = Pos() ? "POS" : "SOP";
    s += " run over " + Plural(R.Start.Inputs, "input") + " (";
    for (int j = 1; j <= R.Start.Inputs; ++j) s += (j > 1 ? ", " : "") + Names.Input(j);
    s += ") for ";
    for (size_t f = 0; f < R.Start.Functions.size(); ++f) s += (f ? ", " : "") + RunFunction(static_cast<int>(f));
    if (R.Start.Functions.empty()) s += "no function with terms";
    s += "; ";
    s += R.Start.HazardFree                     ? "Remove Hazards (the fewest products without static hazards)"
         : R.Start.Cost == TCostCriterion::Pla  ? "PLA Cost (the fewest products, then literals)"
         : R.Start.Cost == TCostCriterion::Fast ? "Fast (heuristic)"
                                                : "Smallest Cost";
    s += Pos() ? ". Terms are maxterms (the zeros)" : ". Terms are minterms (the ones)";
    s += "; a cube gives each input as 0, 1 or - (free).";
    Out.Summary = s;
    if (!R.Finished) Out.Summary += " The run did not finish.";
  }

  std::string Terms(const TCover& c, size_t i) const {
    std::vector<uint32_t> terms;
    c.ForEachTerm(i, [&](uint32_t t) { terms.push_back(t); });
    std::sort(terms.begin(), terms.end());
    std::string s;
    for (size_t k = 0; k < terms.size(); ++k) s += (k ? "," : "") + std::to_string(terms[k]);
    return s;
  }

  // The functions of cube i; with dontCare, "(dc)" after those it holds
  // for.
  template <class DontCare>
  std::string Functions(const TCover& c, size_t i, DontCare&& dontCare) const {
    std::string s;
    for (int f = 0; f < c.FunctionCount; ++f)
      if (c.Tag(i, f)) s += (s.empty() ? "" : " ") + RunFunction(f) + (dontCare(f) ? "(dc)" : "");
    return s;
  }

  std::string Product(const TCover& c, size_t i) const {
    const auto literals = c.Literals(i, Pos());
    std::string s;
    if (Pos()) {
      for (size_t n = 0; n < literals.size(); ++n)
        s +=
            (n ? " + " : "") + std::string(literals[n].Complemented ? "~" : "") + Names.Input(literals[n].Position + 1);
      return "(" + (literals.empty() ? std::string("0") : s) + ")";
    }
    for (const TLiteral& l : literals) s += (l.Complemented ? "(~" : "(") + Names.Input(l.Position + 1) + ")";
    return literals.empty() ? "1" : s;
  }

  void Levels() {
    TSection section;
    section.Heading = "Combining";
    section.Paragraphs.push_back(
        "Level 0 holds one cube per listed term, grouped by number of ones. Each pass pairs cubes of neighbouring "
        "groups that differ in one input and share a function into a cube of the next level (From: their numbers). " +
        std::string(kCheck) + ": combined into a cube that serves all of its functions, so no prime implicant." +
        (R.ChartMade ? " (dc): a don't care, which combines like a care term but needs no cover." : ""));
    section.SideBySide = true;
    // The care terms are the chart's columns; a zero cube's other functions
    // list its term as a don't care.
    std::set<std::pair<int, uint32_t>> care;
    for (const auto& c : R.Chart.Columns)
      if (!c.Pair) care.emplace(c.Function, c.Term);
    const auto dontCare = [&](const TCover& cubes, size_t i, int f) {
      return R.ChartMade && cubes.Mask(i) == 0 && cubes.Tag(i, f) && !care.count({f, cubes.Value(i)});
    };
    for (const TStepLevel& level : R.Levels) {
      if (level.Cubes.Count() == 0) continue;
      TTable t;
      t.Caption = level.Number == 0 ? "Level 0: zero cubes"
                                    : "Level " + std::to_string(level.Number) + ": cubes of " +
                                          std::to_string(1u << level.Number) + " terms";
      t.Head = {"Ones", "#", "Cube", "Terms"};
      if (level.Number > 0) t.Head.push_back("From");
      if (ManyFunctions()) t.Head.push_back("Functions");
      t.Head.push_back(kCheck);
      int previousOnes = -1;
      for (size_t i = 0; i < level.Cubes.Count(); ++i) {
        const bool opens = level.Cubes.Ones(i) != previousOnes;
        if (opens) t.GroupStarts.push_back(i);
        previousOnes = level.Cubes.Ones(i);
        std::string terms = Terms(level.Cubes, i);
        if (!ManyFunctions() && dontCare(level.Cubes, i, 0)) terms += " (dc)";
        std::vector<std::string> row = {opens ? std::to_string(previousOnes) : "", std::to_string(i),
                                        level.Cubes.Pattern(i), terms};
        if (level.Number > 0)
          row.push_back(std::to_string(level.From[i].first) + "+" + std::to_string(level.From[i].second));
        if (ManyFunctions())
          row.push_back(Functions(level.Cubes, i, [&](int f) { return dontCare(level.Cubes, i, f); }));
        row.push_back(level.Combined[i] ? kCheck : "");
        t.Rows.push_back(std::move(row));
      }
      section.Tables.push_back(std::move(t));
    }
    if (!R.Levels.empty() && R.Levels.back().Cubes.Count() == 0)
      section.After.push_back("Level " + std::to_string(R.Levels.back().Number) +
                              " is empty: no two cubes of the level before combine.");
    Out.Sections.push_back(std::move(section));
  }

  // The prime implicants beside their chart.
  void PrimesAndChart() {
    if (!R.ChartMade) return;
    TSection section;
    section.Heading = "Prime implicants and their chart";
    section.Paragraphs.push_back("The cubes without " + std::string(kCheck) + ", " + Plural(R.Primes.Count(), "prime") +
                                 ", ascending by number of ones, are the rows of the chart.");
    section.SideBySide = true;
    section.Tables.push_back(PrimeTable());
    ChartTable(section);
    Out.Sections.push_back(std::move(section));
  }

  TTable PrimeTable() const {
    TTable t;
    t.Head = {"Row", "Cube", "Terms"};
    if (ManyFunctions()) t.Head.push_back("Functions");
    t.Head.push_back(Pos() ? "Sum" : "Product");
    for (size_t i = 0; i < R.Primes.Count(); ++i) {
      std::vector<std::string> row = {"P" + std::to_string(i), R.Primes.Pattern(i), Terms(R.Primes, i)};
      if (ManyFunctions()) row.push_back(Functions(R.Primes, i, [](int) { return false; }));
      row.push_back(Product(R.Primes, i));
      t.Rows.push_back(std::move(row));
    }
    return t;
  }

  void ChartTable(TSection& section) const {
    const auto& columns = R.Chart.Columns;
    section.Paragraphs.push_back(
        "The chart has one column per " + std::string(ManyFunctions() ? "function and " : "") + "care term" +
        (R.Start.HazardFree ? ", and one per two adjacent care terms (a-b: one product must hold both)" : "") + "; " +
        kCross + ": the row's cube holds it. Marked: the essential rows (each alone on some column) and " +
        "the columns they cover.");
    TTable t;
    t.Mark = "essential";
    t.Head.push_back("");
    for (const auto& c : columns) {
      std::string label = c.Pair ? std::to_string(c.Term) + "-" + std::to_string(c.Other) : std::to_string(c.Term);
      if (ManyFunctions()) label = RunFunction(c.Function) + ":" + label;
      t.Head.push_back(label);
    }
    for (size_t r = 0; r < R.Chart.Cells.size(); ++r) {
      std::vector<std::string> row(columns.size() + 1);
      row[0] = "P" + std::to_string(r);
      for (const uint32_t c : R.Chart.Cells[r]) row[c + 1] = kCross;
      t.Rows.push_back(std::move(row));
    }
    t.MarkedRows = R.EssentialRow;
    t.MarkedColumns.push_back(0);
    t.MarkedColumns.insert(t.MarkedColumns.end(), R.EssentialColumn.begin(), R.EssentialColumn.end());
    section.Tables.push_back(std::move(t));
  }

  void Selection() {
    if (!R.Finished) return;
    TSection section;
    section.Heading = "Selection";
    if (R.Start.Cost == TCostCriterion::Pla || R.Start.HazardFree) {
      Search(section);
      Out.Sections.push_back(std::move(section));
      return;
    }
    section.Paragraphs.push_back(
        "A reduction step takes the essential rows (their columns leave the chart) and drops equal and dominated "
        "rows; where one frees no column, a completion step chooses a row.");
    int step = 0;
    bool completed = false;
    for (size_t k = 0; k < R.Events.size();) {
      const int s = R.Events[k].Step;
      for (++step; step < s; ++step)
        section.Items.push_back({0, "Step " + std::to_string(step) + ", reduction: no essential row, none dropped."});
      const bool completion =
          R.Events[k].What == TStepEvent::Kind::Completion || R.Events[k].What == TStepEvent::Kind::Covering;
      if (completion) {
        const TStepEvent& e = R.Events[k++];
        section.Items.push_back(
            {0, "Step " + std::to_string(s) + ", completion: " +
                    (e.What == TStepEvent::Kind::Covering
                         ? "P" + std::to_string(e.Row) + " covers every column left (" + std::to_string(e.Columns) +
                               ") and is chosen."
                         : "P" + std::to_string(e.Row) + " is chosen, with the most columns left (" +
                               std::to_string(e.Columns) + ").")});
        completed = true;
        continue;
      }
      section.Items.push_back({0, "Step " + std::to_string(s) + ", reduction:"});
      int64_t left = 0;
      for (; k < R.Events.size() && R.Events[k].Step == s; ++k) {
        const TStepEvent& e = R.Events[k];
        const std::string row = "P" + std::to_string(e.Row);
        const std::string other = "P" + std::to_string(e.Other);
        left = e.Columns;
        switch (e.What) {
          case TStepEvent::Kind::Essential:
            section.Items.push_back({1, row + (completed ? " is secondary essential" : " is essential") +
                                            ": it alone covers a column. Chosen."});
            break;
          case TStepEvent::Kind::Equal:
            section.Items.push_back({1, row + " is dropped: it covers the same columns as " + other + "."});
            break;
          case TStepEvent::Kind::Dominated:
            section.Items.push_back({1, row + " is dropped: its columns all lie in " + other + "'s."});
            break;
          case TStepEvent::Kind::Empty:
            section.Items.push_back({1, row + " is dropped: it covers no column left."});
            break;
          default: break;
        }
      }
      section.Items.push_back({1, Plural(left, "column") + " left."});
    }
    Out.Sections.push_back(std::move(section));
  }

  void Search(TSection& section) {
    const TRunStats& s = R.Stats;
    section.Paragraphs.push_back("The minimum cover search: after its reductions " + Plural(s.CoreRows, "row") +
                                 " and " + Plural(s.CoreColumns, "column") + " were left; it searched " +
                                 Plural(s.SearchNodes, "node") + ". Every cover needs at least " +
                                 Plural(s.LowerBound, "product") + ".");
    section.Paragraphs.push_back(s.Proven && s.LiteralsProven ? "The result is a proven minimum: the fewest products, "
                                                                "then the fewest literals."
                                 : s.Proven ? "The result has the fewest products (proven); its literals are the "
                                              "fewest found within the time limit."
                                            : "The result is the best found within the time limit.");
    if (!R.Start.HazardFree) section.Paragraphs.push_back("Each function then keeps only the products it needs.");
  }

  void Counts() {
    TSection section;
    section.Heading = "Counts";
    section.Paragraphs.push_back(R.NoTables);
    if (!R.LevelCounts.empty()) {
      TTable t;
      t.Head = {"Level", "Cubes", "Terms each"};
      for (size_t k = 0; k < R.LevelCounts.size(); ++k)
        t.Rows.push_back({std::to_string(k), std::to_string(R.LevelCounts[k]),
                          k < 63 ? std::to_string(uint64_t{1} << k) : "2^" + std::to_string(k)});
      section.Tables.push_back(std::move(t));
    } else if (R.Finished && !R.Stats.Heuristic) {
      section.Paragraphs.push_back(
          "The prime finder this run took does not combine level by level, so there "
          "are no counts per level.");
    }
    if (R.Finished && R.Stats.Primes >= 0)
      section.After.push_back(Plural(R.Stats.Primes, "prime implicant") + "; the chart has " +
                              Plural(R.Stats.ChartRows, "row") + " and " + Plural(R.Stats.ChartColumns, "column") +
                              ".");
    Out.Sections.push_back(std::move(section));
  }

  void Result() {
    if (!R.Finished) return;
    TSection section;
    section.Heading = "Result";
    section.Paragraphs.push_back(Plural(R.Stats.Selected, "product") + ", " + Plural(R.Stats.Literals, "literal") +
                                 ".");
    const std::string text = Pos() ? FormatPOS(R.Result, true, Names) : FormatSOP(R.Result, true, Names);
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find("\r\n", start);
      section.Formulas.push_back(text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    Out.Sections.push_back(std::move(section));
  }
};

// --- plain text -------------------------------------------------------------

// Display width of UTF-8 text (one column per character).
size_t Columns(const std::string& s) {
  size_t n = 0;
  for (const unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

void TextTable(const TTable& t, std::string& out) {
  if (!t.Caption.empty()) out += t.Caption + "\n";
  std::vector<size_t> width(t.Head.size(), 0);
  for (size_t c = 0; c < t.Head.size(); ++c) width[c] = Columns(t.Head[c]);
  for (const auto& row : t.Rows)
    for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], Columns(row[c]));
  auto line = [&](const std::vector<std::string>& cells, const std::string& suffix) {
    std::string s = " ";
    for (size_t c = 0; c < cells.size(); ++c) s += " " + cells[c] + std::string(width[c] - Columns(cells[c]), ' ');
    // (a mark after the row stands in one column for all rows)
    if (suffix.empty())
      while (!s.empty() && s.back() == ' ') s.pop_back();
    out += s + suffix + "\n";
  };
  auto rule = [&] {
    size_t total = 1;
    for (const size_t w : width) total += w + 1;
    out += "  " + std::string(total - 2, '-') + "\n";
  };
  line(t.Head, "");
  rule();
  for (size_t r = 0; r < t.Rows.size(); ++r) {
    if (r > 0 && std::binary_search(t.GroupStarts.begin(), t.GroupStarts.end(), r)) rule();
    line(t.Rows[r], r < t.MarkedRows.size() && t.MarkedRows[r] ? "  * " + t.Mark : "");
  }
  if (std::find(t.MarkedColumns.begin(), t.MarkedColumns.end(), 1) != t.MarkedColumns.end()) {
    std::vector<std::string> marks(t.Head.size());
    for (size_t c = 0; c < marks.size() && c < t.MarkedColumns.size(); ++c) marks[c] = t.MarkedColumns[c] ? "*" : "";
    line(marks, "  (* covered by an " + t.Mark + " row)");
  }
  out += "\n";
}

// Items nested by depth, each list between open and close.
template <class Item>
void NestedList(const std::vector<TLine>& items, const char* open, const char* close, Item&& item, std::string& out) {
  if (items.empty()) return;
  out += open;
  int depth = 0;
  for (const auto& line : items) {
    for (; depth < line.Depth; ++depth) out += open;
    for (; depth > line.Depth; --depth) out += close;
    out += item(line.Text);
  }
  for (; depth > 0; --depth) out += close;
  out += close;
}

// --- HTML ------------------------------------------------------------------

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void HtmlTable(const TTable& t, std::string& out) {
  const char* const marked = "#fde8a8";
  const char* const shaded = "#eef2f8";
  out += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">\n";
  if (!t.Caption.empty()) out += "<caption><b>" + HtmlEscape(t.Caption) + "</b></caption>\n";
  out += "<tr>";
  for (size_t c = 0; c < t.Head.size(); ++c) {
    const bool mark = c < t.MarkedColumns.size() && t.MarkedColumns[c];
    out += std::string("<th nowrap") + (mark ? " bgcolor=\"" + std::string(marked) + "\"" : "") + ">" +
           HtmlEscape(t.Head[c]) + "</th>";
  }
  out += "</tr>\n";
  size_t group = 0;
  for (size_t r = 0; r < t.Rows.size(); ++r) {
    if (r > 0 && std::binary_search(t.GroupStarts.begin(), t.GroupStarts.end(), r)) ++group;
    const bool rowMark = r < t.MarkedRows.size() && t.MarkedRows[r];
    out += "<tr>";
    for (size_t c = 0; c < t.Rows[r].size(); ++c) {
      const bool mark = rowMark || (c < t.MarkedColumns.size() && t.MarkedColumns[c]);
      const char* colour = mark ? marked : (group % 2 ? shaded : nullptr);
      out += std::string("<td nowrap") + (colour ? " bgcolor=\"" + std::string(colour) + "\"" : "") + ">" +
             HtmlEscape(t.Rows[r][c]) + "</td>";
    }
    out += "</tr>\n";
  }
  out += "</table>\n";
}

// --- LaTeX -----------------------------------------------------------------

// Running text: spaces stay spaces (LaTeX sets them as it fills lines), the
// marks become their math symbols.
std::string LatexProse(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(' ', start), text.size());
    std::string word = LatexEscape(text.substr(start, end - start));
    for (const auto& [mark, symbol] : {std::pair<std::string, std::string>{LatexEscape(kCheck), "$\\checkmark$"},
                                       std::pair<std::string, std::string>{LatexEscape(kCross), "$\\times$"}})
      for (size_t at = word.find(mark); at != std::string::npos; at = word.find(mark, at))
        word.replace(at, mark.size(), symbol);
    out += (start ? " " : "") + word;
    start = end + 1;
  }
  return out;
}

std::string LatexCell(const std::string& s) { return LatexProse(s); }

void LatexTable(const TTable& t, std::string& out) {
  if (!t.Caption.empty()) out += "\\textbf{" + LatexProse(t.Caption) + "}\\\\[2pt]\n";
  const bool wide = t.Head.size() > 16;
  if (wide) out += "\\resizebox{\\textwidth}{!}{%\n";
  out += std::string(wide ? "\\begin{tabular}{" : "\\begin{longtable}{") + "|" + std::string(t.Head.size(), 'l') +
         (t.MarkedRows.empty() ? "" : "l") + "|}\n\\hline\n";
  auto line = [&](const std::vector<std::string>& cells, const std::string& extra) {
    for (size_t c = 0; c < cells.size(); ++c) out += (c ? " & " : "") + LatexCell(cells[c]);
    if (!t.MarkedRows.empty()) out += " & " + extra;
    out += " \\\\\n";
  };
  line(t.Head, "");
  out += "\\hline\n";
  for (size_t r = 0; r < t.Rows.size(); ++r) {
    if (r > 0 && std::binary_search(t.GroupStarts.begin(), t.GroupStarts.end(), r)) out += "\\hline\n";
    line(t.Rows[r], r < t.MarkedRows.size() && t.MarkedRows[r] ? "$\\ast$ " + LatexProse(t.Mark) : "");
  }
  if (std::find(t.MarkedColumns.begin(), t.MarkedColumns.end(), 1) != t.MarkedColumns.end()) {
    out += "\\hline\n";
    std::vector<std::string> marks(t.Head.size());
    for (size_t c = 0; c < marks.size() && c < t.MarkedColumns.size(); ++c) marks[c] = t.MarkedColumns[c] ? "*" : "";
    line(marks, "");
  }
  out += "\\hline\n";
  out += wide ? "\\end{tabular}}\n\n" : "\\end{longtable}\n\n";
}

}  // namespace

std::string StepsText(const TStepRecord& record, const TSignalNames& names) {
  const TLayout layout = TLayoutMaker(record, names).Make();
  std::string out = layout.Title + "\n" + std::string(layout.Title.size(), '=') + "\n" + layout.Summary + "\n\n";
  for (const TSection& s : layout.Sections) {
    out += s.Heading + "\n" + std::string(s.Heading.size(), '-') + "\n";
    for (const auto& p : s.Paragraphs) out += p + "\n";
    out += "\n";
    for (const auto& t : s.Tables) TextTable(t, out);
    for (const auto& p : s.After) out += p + "\n\n";
    for (const auto& item : s.Items)
      out += std::string(2 + 2 * static_cast<size_t>(item.Depth), ' ') + item.Text + "\n";
    for (const auto& f : s.Formulas) out += "  " + f + "\n";
    if (!s.Items.empty() || !s.Formulas.empty()) out += "\n";
  }
  return out;
}

std::string StepsHtml(const TStepRecord& record, const TSignalNames& names) {
  const TLayout layout = TLayoutMaker(record, names).Make();
  std::string out =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlEscape(layout.Title) +
      "</title>\n<style>\nbody { font-family: sans-serif; font-size: 9pt; }\n"
      "table { border-collapse: collapse; margin-bottom: 4px; }\nth, td { padding: 0px 3px; white-space: nowrap; }\n"
      "h2 { font-size: 11pt; margin: 6px 0 2px 0; }\np { margin: 1px 0; }\nul { margin: 1px 0; }\n</style>\n"
      "</head>\n<body>\n";
  out += "<h1 style=\"font-size: 12pt; margin: 0\">" + HtmlEscape(layout.Title) + "</h1>\n<p>" +
         HtmlEscape(layout.Summary) + "</p>\n";
  for (const TSection& s : layout.Sections) {
    out += "<h2>" + HtmlEscape(s.Heading) + "</h2>\n";
    for (const auto& p : s.Paragraphs) out += "<p>" + HtmlEscape(p) + "</p>\n";
    if (s.SideBySide && s.Tables.size() > 1) {
      out += "<table cellspacing=\"0\" cellpadding=\"0\"><tr>\n";
      for (const auto& t : s.Tables) {
        out += "<td valign=\"top\" style=\"padding-right: 12px\">\n";
        HtmlTable(t, out);
        out += "</td>\n";
      }
      out += "</tr></table>\n";
    } else {
      for (const auto& t : s.Tables) HtmlTable(t, out);
    }
    for (const auto& p : s.After) out += "<p>" + HtmlEscape(p) + "</p>\n";
    NestedList(
        s.Items, "<ul>\n", "</ul>\n", [](const std::string& text) { return "<li>" + HtmlEscape(text) + "</li>\n"; },
        out);
    if (!s.Formulas.empty()) {
      out += "<pre>";
      for (const auto& f : s.Formulas) out += HtmlEscape(f) + "\n";
      out += "</pre>\n";
    }
  }
  out += "</body>\n</html>\n";
  return out;
}

std::string StepsLatex(const TStepRecord& record, const TSignalNames& names) {
  const TLayout layout = TLayoutMaker(record, names).Make();
  std::string out =
      "% The steps of a minimization run, written by Tavro. Compile with pdflatex.\n"
      "\\documentclass[10pt,a4paper]{article}\n"
      "\\usepackage[margin=2cm]{geometry}\n"
      "\\usepackage{amssymb}\n"
      "\\usepackage{graphicx}\n"
      "\\usepackage{longtable}\n"
      "\\setlength{\\parindent}{0pt}\n"
      "\\begin{document}\n";
  out += "\\section*{" + LatexProse(layout.Title) + "}\n" + LatexProse(layout.Summary) + "\n\n";
  for (const TSection& s : layout.Sections) {
    out += "\\subsection*{" + LatexProse(s.Heading) + "}\n";
    for (const auto& p : s.Paragraphs) out += LatexProse(p) + "\n\n";
    for (const auto& t : s.Tables) LatexTable(t, out);
    for (const auto& p : s.After) out += LatexProse(p) + "\n\n";
    NestedList(
        s.Items, "\\begin{itemize}\n", "\\end{itemize}\n",
        [](const std::string& text) { return "\\item " + LatexProse(text) + "\n"; }, out);
    // A formula breaks where it has a space, or between two factors; its
    // source lines stay short (TeX reads a line in one go).
    for (const auto& f : s.Formulas) {
      std::string text = LatexProse(f);
      for (size_t at = text.find(")("); at != std::string::npos; at = text.find(")(", at + 16))
        text.replace(at, 2, ")\\allowbreak%\n(");
      for (size_t at = text.find(" + "); at != std::string::npos; at = text.find(" + ", at + 3)) text[at + 2] = '\n';
      out += "\\begin{flushleft}\\ttfamily " + text + "\n\\end{flushleft}\n";
    }
  }
  out += "\\end{document}\n";
  return out;
}

}  // namespace tavro
