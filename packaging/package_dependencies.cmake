# What the Debian package asks apt for besides the shared libraries, which
# dpkg-shlibdeps finds by itself. One entry a Debian package (alternatives as
# "a | b"); the font packages are the ones the font engine looks in.
set(KV_DEB_FONT_DEPENDS
  fonts-dejavu-core
  fonts-lohit-deva
  fonts-tlwg-garuda-ttf
  fonts-droid-fallback
  fonts-noto-color-emoji
  fonts-symbola)
# Fonts that widen what can be shown but are not needed to start.
set(KV_DEB_FONT_RECOMMENDS)
# Optional helpers: loading the completion of korvanet-cli.
set(KV_DEB_RECOMMENDS
  bash-completion)
