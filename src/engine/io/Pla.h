#pragma once
// Berkeley PLA files: a system read from a cube table, and a result cover
// written as one.
//
// Reading. A UTF-8 byte-order mark at the start is passed over; lines end in
// a line feed, a carriage return and a line feed, or a carriage return
// alone. Keywords .i .o .p .e (.end) .ilb .ob .type (f, fd — the default —,
// fr, fdr, and also r and dr); "#" starts a comment that runs to the end of
// its line; blanks, tabs and "|" inside a row are ignored; a row lies on one
// line; before .i and .o a line that is neither a keyword nor made of row
// characters is a title and passed over. A .ilb or .ob line with fewer names
// than .i or .o declares runs on over the following lines, whatever they
// hold, until the count is reached: the rule of the reference reader, which
// some classic benchmark files rely on. Input characters: 0, 1, - (also 2 and ~ for -). Output characters:
// 1 or 4 on-set, 0 or 3 off-set, - or 2 don't-care set, ~ none of them; each
// counts only when the type names its set (a "-" is ignored under .type f, a
// "0" under .type fd). Input column 1 is the most significant bit of a term.
// Each output becomes one minterm function: its on-set terms as care terms,
// its don't-care terms as don't cares. A term in the don't-care set is a
// don't care even when a row also puts it in the on- or off-set; under fr and
// fdr every term in neither the on- nor the off-set is a don't care; under r
// and dr the on-set is every term in neither the off- nor the don't-care set.
//
// Writing. After an SOP run: ".type f", one row per result cube, "1" in the
// column of every function the cube is tagged for and "0" elsewhere. After a
// POS run the cubes are those on which the functions are 0: ".type r", "0"
// where tagged and "~" elsewhere, so that any PLA reader takes the rows as
// the off-set.

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "model/Errors.h"
#include "model/TermVector.h"

namespace tavro {

// A PLA text that cannot be read; the message names the line (where there is
// one) and what is wrong with it.
class PlaError : public TavroError {
 public:
  explicit PlaError(const std::string& message) : TavroError(message) {}
};

// Widest output count the reader accepts.
constexpr int MaxPlaOutputs = 65536;

// The most terms (care and don't care, all outputs) a PLA may expand to.
constexpr uint64_t kMaxPlaTerms = uint64_t{1} << 28;

struct TPlaSystem {
  int Inputs = 0;                        // .i
  std::vector<TTermVector> Functions;    // one minterm function per output (.o)
  std::vector<std::string> InputNames;   // .ilb, empty when absent
  std::vector<std::string> OutputNames;  // .ob, empty when absent
  // The rows as cubes tagged with the outputs that list them (on or don't
  // care): together exactly the terms of Functions. Empty (width 0) for the
  // types with an off-set, whose listed terms are what the rows leave out.
  TCover Cubes;
  // The rows tagged with the outputs for which they are don't cares: together
  // exactly the don't cares of Functions. Width 0 where Cubes is.
  TCover DontCareCubes;
  bool TermsListed = true;  // false: Functions are empty, the cubes give them
};

// Parses PLA text. Throws PlaError for a malformed text or one with more than
// MaxInputBits inputs. params.ListPlaTerms false: where the rows give the
// functions (no off-set) and the system is wide enough to be run from them
// (17 inputs or more), the functions are left empty and TermsListed false.
// Throws TooLargeError, before it allocates, where the text and what is
// read from it would pass the memory limit of params (naming what all of it
// would need), and StoppedError when the thread's run is asked to stop.
TPlaSystem ParsePlaText(std::string_view text, const TLoadParams& params = {});
inline TPlaSystem ParsePlaText(std::string_view text, bool listTerms) {
  return ParsePlaText(text, TLoadParams{listTerms, 0});
}

// True when the path's extension is ".pla", in any case.
bool IsPlaPath(const std::string& path);

// Replaces the system's functions by the outputs of the PLA file at path,
// keeping the file's cubes beside them for the prime finder, and its .ilb
// and .ob names (Names). The
// system then counts as new and unsaved: CurrentFileName empty, Modified set,
// ResultReady cleared; an output that no row sets is a constant
// (EmptyIsConstant). On any error nothing changes and the error is thrown;
// a NUL byte stops the read ("<file name> is not a PLA file (it holds binary
// data)"). The caller refreshes its view (InputBits). params: as
// ParsePlaText's (without its terms listed the system keeps them in its
// cubes: TermsInSource); the memory limit holds from the first byte read.
void LoadPlaFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params = {});
// As LoadPlaFile, for text already read (a NUL byte is not looked for).
void LoadPlaText(TFunctionSystem& system, std::string_view text, const TLoadParams& params = {});
inline void LoadPlaFile(TFunctionSystem& system, const std::string& path, bool listTerms) {
  LoadPlaFile(system, path, TLoadParams{listTerms, 0});
}

// The sets a PLA result may carry beside the cover (each absent when null):
// the system's don't cares (DontCareCubes), written as the D set, and what
// neither the cover nor the don't cares hold (RestCubes), written as the
// other of the on- and off-set.
struct TPlaSets {
  const TCover* DontCares = nullptr;
  const TCover* Rest = nullptr;
};

// The PLA text of a result cover; inputBits and functionCount give the
// widths, mode the mode of the run that made the cover, names the .ilb and
// .ob names (A, B, ... and f0, f1, ... unless given). The type names the
// sets written: f after SOP and r after POS, d with the don't cares, and
// with the rest both f and r (fd, fr, fdr; dr, fr, fdr after POS). Lines end
// in "\n".
std::string PlaText(const TCover& cubes, int inputBits, int functionCount, int mode, const TSignalNames& names = {},
                    const TPlaSets& sets = {});

// Writes PlaText to path as given (WriteFileAtomic);
// throws FileError("Cannot create file <path>: <reason>").
void WritePla(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
              const TSignalNames& names = {}, const TPlaSets& sets = {});

}  // namespace tavro
