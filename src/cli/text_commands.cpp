// quorix-cli parse, format-fixed and format-plain: the number-text
// conversions of the window's fields.
#include <memory>
#include <string>

#include "cli_common.h"
#include "json.h"
#include "numbertext.h"

namespace quorix::cli {

namespace {

struct TextOptions {
  std::string text;
  int decimals = 0;
};

}  // namespace

void AddTextCommands(CLI::App& app, int& exitCode) {
  auto parse = std::make_shared<TextOptions>();
  CLI::App* command = app.add_subcommand("parse", "read a field text as the window does; print the double");
  command->add_option("TEXT", parse->text, "field text")->required();
  command->callback(
      [parse, &exitCode] { RunReporting(exitCode, [&] { WriteOut(ShortestText(ParseNumber(parse->text)) + "\n"); }); });

  auto fixed = std::make_shared<TextOptions>();
  command = app.add_subcommand("format-fixed", "fixed-point text with DECIMALS digits after the point");
  command->add_option("VALUE", fixed->text, "number text")->required();
  AddAsTypedFlag(*command);
  // 1074 decimals show every double exactly.
  command->add_option("DECIMALS", fixed->decimals, "digits after the point")->required()->check(CLI::Range(0, 1074));
  command->callback([fixed, &exitCode] {
    RunReporting(exitCode, [&] { WriteOut(FormatFixed(ReadField("VALUE", fixed->text), fixed->decimals) + "\n"); });
  });

  auto plain = std::make_shared<TextOptions>();
  command = app.add_subcommand("format-plain", "plain text with 15 significant digits, as the beta field shows it");
  command->add_option("VALUE", plain->text, "number text")->required();
  AddAsTypedFlag(*command);
  command->callback([plain, &exitCode] {
    RunReporting(exitCode, [&] { WriteOut(FormatPlainNumber(ReadField("VALUE", plain->text)) + "\n"); });
  });
}

}  // namespace quorix::cli
