// qvtool image FILE [--out BIN]: loads a firmware file exactly as the ISP page does (the third
// character from the end picks HEX or binary), shows its length and the checksum as the window
// shows it, or the refusal with its line and reason. With --out, writes bytes 0..length-1 of the
// image to BIN, replacing it only once complete.

#include <memory>

#include "cli/Commands.h"
#include "cli/FirmwareFile.h"
#include "cli/ServiceText.h"
#include "image/ImageLoaders.h"
#include "image/ParameterTableScan.h"
#include "system/OutputFile.h"

namespace qv {
namespace {

struct ImageOptions {
    std::string file, out;
};

const char* FormatName(const std::string& file) {
    const char letter = file.size() >= 3 ? file[file.size() - 3] : '\0';
    return letter == 'b' || letter == 'B' ? "binary" : "Intel HEX";
}

void Image(Report& report, const ImageOptions& o) {
    OutputTarget target;
    if (!o.out.empty()) {
        const Expected<OutputTarget> checked = CheckOutputFile(o.out);
        if (!checked.ok()) return report.Fail(Outcome::kFileRefused, checked.text());
        target = *checked;
    }
    // One image per run; the buffers are allocated once here.
    auto image = std::make_unique<FirmwareImage>();
    const LoadResult loaded = LoadFirmwareFile(o.file, *image, report);
    if (!loaded.ok()) return;

    const auto table = FindUserParameterTable(*image);
    report.Line("File     : " + o.file + " (" + FormatName(o.file) + ")");
    report.Line("Length   : " + std::to_string(image->length) + " bytes (0x" +
                HexText(image->length, 6) + ")");
    report.Line("Checksum : 0x" + HexText(loaded->checksum, 4));
    report.Line(table ? "User parameter table at 0x" + HexText(*table, 6)
                      : "User parameter table not found");
    report["file"] = o.file;
    report["format"] = FormatName(o.file);
    report["length"] = image->length;
    report["checksum"] = HexText(loaded->checksum, 4);
    report["parameterTable"] = table ? Report::Json(HexText(*table, 6)) : Report::Json(nullptr);
    if (o.out.empty()) return;

    const Expected<void> written = ReplaceFileContents(
        target, std::string_view(reinterpret_cast<const char*>(image->data.data()), image->length));
    if (!written.ok()) return report.Fail(Outcome::kFileRefused, written.text());
    report.Line("Wrote    : " + o.out + " (" + std::to_string(image->length) + " bytes)");
    report["out"] = o.out;
}

}  // namespace

void AddImageCommand(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<ImageOptions>();
    CLI::App* image = app.add_subcommand(
        "image", "Load a firmware file as the ISP page would and show its length and checksum");
    image->add_option("FILE", o->file, "Intel HEX (.hex, .h00) or binary (.bin) file")->required();
    CLI::Option* out =
        image
            ->add_option("--out", o->out,
                         "Write the loaded bytes to this binary file (replaced only once complete)")
            ->type_name("FILE");
    context.Bind(
        image, "image", [o](Report& r) { Image(r, *o); },
        [o, out] {
            std::vector<NamedFile> files{{"image FILE", o->file, false}};
            if (out->count() > 0) files.push_back({"--out", o->out, true});
            return files;
        });
}

}  // namespace qv
