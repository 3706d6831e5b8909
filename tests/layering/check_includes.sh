#!/usr/bin/env bash
# Dependencies point one way: app -> field -> save, views, device, ui -> catalogue, cards -> engine -> SDL;
# cli -> device, catalogue, cards.
# The engine never includes the application's headers, its core never
# includes SDL, and the catalogue never draws.
set -u
root="$1"
fail=0
check() {  # folder, pattern of forbidden includes, why
  local hits
  hits=$(grep -rnE "^\s*#\s*include\s*[<\"]($2)" "$root/$1" --include='*.h' --include='*.cpp' 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$1 must not include $2 ($3):"
    echo "$hits"
    fail=1
  fi
}
check engine "(app|cards|catalogue|views|ui|field|device|save|cli)/" "the engine knows nothing of cards"
check engine/core "SDL|engine/platform/" "the core is tested without SDL"
check cards "SDL|engine/platform/|views/|app/|field/|save/|device/|cli/|catalogue/" "the card catalogue and the generator are pure logic"
check device "SDL|engine/platform/|views/|app/|field/|save/|cli/" "the link knows no scene: workers never touch nodes"
check cli "SDL|engine/platform/|views/|app/|field/|save/" "the command-line tool runs without a window"
check catalogue "SDL|engine/platform/|views/|app/|field/|save/|device/|cli/|sim/|ui/(AlertView|FieldScrollView|AppEvents)" "the saved programs are kept without a window"
check sim "SDL|engine/|views/|app/|field/|save/|cli/|ui/" "the simulated board is logic: the editor draws it"
check ui/Localization.h "SDL|engine/platform/" "localisation is used by the catalogue"
check views "app/|field/|save/" "views are used by the scenes, not the other way"
check field "app/" "the editor screen does not know the application"
check save "app/|field/|views/" "saved programs are data the scenes use"
[ $fail -eq 0 ] && echo "includes point one way"
exit $fail
