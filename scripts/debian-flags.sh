# Sourced by the scripts that build a Debian package (package.sh,
# package-cross.sh): debian_flags [ARCH] exports Debian's build flags for ARCH
# (default this machine's: hardening, optimisation) as CPPFLAGS, CXXFLAGS
# and LDFLAGS, which CMake takes in at a build folder's first configure;
# Quorix's own arithmetic flags are added by its CMakeLists. Without -g:
# the packaged programs are stripped (CPACK_STRIP_FILES), so debugging
# information would only be compiled to be thrown away.
debian_flags() {
  if [[ -n ${1:-} ]]; then export DEB_HOST_ARCH=$1; fi
  export DEB_CXXFLAGS_MAINT_STRIP=-g
  CPPFLAGS="$(dpkg-buildflags --get CPPFLAGS)"
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
  export CPPFLAGS CXXFLAGS LDFLAGS
}
