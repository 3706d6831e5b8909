#include "device/CorvinaAppsError.h"

#include "ui/Localization.h"

namespace {

std::string text(const TextPair& pair)
{
    return Localization::getInstance()->localizedText(pair);
}

std::string text(const std::string& japanese, const std::string& english)
{
    return Localization::getInstance()->localizedText(japanese, english);
}

// The texts carry one number; std::to_string keeps it free of the locale's
// digit grouping.
std::string withPort(std::string format, int port)
{
    const size_t at = format.find("%d");
    if (at != std::string::npos)
        format.replace(at, 2, std::to_string(port));
    return format;
}

// A failure told to the user, under the one title failures share.
CorvinaAppsError failure(std::string message, bool openPanel = false, bool rescan = false)
{
    CorvinaAppsError error;
    error.title = text(LocalizedTexts::failed);
    error.message = std::move(message);
    error.showAlert = true;
    error.openPanel = openPanel;
    error.rescan = rescan;
    return error;
}

} // namespace

CorvinaAppsError linkOpenFailedError()
{
    return failure(text(LocalizedTexts::connectAgain), true);
}

CorvinaAppsError connectionFailedError()
{
    return failure(text(LocalizedTexts::connectionFailed), true, true);
}

CorvinaAppsError cancelledError()
{
    return {};
}

CorvinaAppsError permissionDeniedError(const std::string& port)
{
    // Read by a teacher setting up the computer: the port, the reason and
    // the one command that fixes it.
    return failure(text(port + " をひらくことができませんでした。\n"
                               "このポートをつかうには、ユーザーが「dialout」グループにはいっている"
                               "ひつようがあります。\n"
                               "ターミナルでつぎのコマンドをじっこうしてから、いちどログアウトして、"
                               "もういちどログインしてください。\n"
                               "sudo usermod -aG dialout $USER",
                        "Could not open " + port + ": permission denied.\n"
                               "To use this port, the user must be in the \"dialout\" group.\n"
                               "Run this command in a terminal, then log out and log in again:\n"
                               "sudo usermod -aG dialout $USER"), true);
}

CorvinaAppsError boardBusyError()
{
    return failure(text("ほかの プログラムが ボードを つかっています（べつの エディターや corvina-cli など）。\n"
                        "それを とじてから、もういちど じっこうボタンを おしてください。",
                        "Another program is using the board (another editor window, or corvina-cli).\n"
                        "Close it, then press play again."));
}

CorvinaAppsError boardNotPluggedError()
{
    return failure(text("ボードが ささっていません。\nボードを USBに さして、すこし まってから、もういちど "
                        "じっこうボタンを おしてください。\nボードなしで ためすときは、リストから シミュレーターを "
                        "えらんでください。",
                        "The board is not plugged in.\nPlug it into a USB socket, wait a moment, then press play "
                        "again.\nTo try without a board, pick the simulator in the list."), true);
}

CorvinaAppsError cableCameOutError()
{
    return failure(text("おくっている とちゅうで ケーブルが ぬけました。\nボードを さしなおして、もういちど "
                        "じっこうボタンを おしてください。\nプログラムを さいしょから ぜんぶ おくります。",
                        "The cable came out while sending.\nPlug the board in again and press play: the whole "
                        "program will be typed again."), true, true);
}

CorvinaAppsError wifiUnreachableError()
{
    return failure(text("この コンピューターは Wi-Fi モジュールの ネットワークに つながっていません。\n"
                        "モジュールの Wi-Fi に つないでから、もういちど じっこうボタンを おしてください。",
                        "This computer is not on the Wi-Fi module's network.\nJoin the module's Wi-Fi, then press "
                        "play again."));
}

AlertText portConflictMessage(int port)
{
    return {text("ポート番号の競合", "Port number conflict"),
            withPort(text("使用するポート番号が競合しています。%d番のポートを使用しているアプリケーションを終了し、"
                          "CorvinaAppsを再起動してください。",
                          "The port number is already in use. Quit the application using port %d and restart "
                          "CorvinaApps."),
                     port)};
}
