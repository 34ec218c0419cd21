# Sourced by the set-up scripts. A build as root in a checkout that belongs
# to a user would leave root-owned files there (build/, the database) that
# the user's next start cannot write; so root builds only its own checkout.
# A throwaway machine (CI) may say LUMARO_ALLOW_ROOT_BUILD=1.
refuse_root_in_user_checkout() {
  local repo="$1" owner
  owner="$(stat -c %u "$repo")"
  if [ "$(id -u)" -eq 0 ] && [ "$owner" -ne 0 ] && [ "${LUMARO_ALLOW_ROOT_BUILD:-}" != 1 ]; then
    local name
    name="$(stat -c %U "$repo")"
    cat >&2 <<MSG
This checkout belongs to $name, but the script runs as root: the build would
leave files in it that $name cannot change. Run it as $name, without sudo:
  scripts/$(basename "$0")
It asks for the password through sudo only when packages must be installed.
MSG
    exit 1
  fi
}
