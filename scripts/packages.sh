# The Debian packages the Linux build, its tests and the demo need
# (sourced by the other scripts).
TOVANA_BUILD_PACKAGES=(
    cmake make g++ pkg-config
    googletest libgtest-dev libbenchmark-dev
    libsndfile1-dev zlib1g-dev
    libfltk1.3-dev libx11-dev fonts-dejavu-core xvfb xauth xdotool
    sox libsox-fmt-mp3 imagemagick
    # LV2: headers and lv2_validate (which runs sordi's sord_validate), and
    # the hosts lv2apply (lilv-utils) and lv2file for the bundle's tests
    lv2-dev sordi lilv-utils lv2file
    # Live voice: a PipeWire session of the tests' own (its session bus, the
    # server and its modules, the session manager, the pw-* tools) and JACK
    # with jalv
    dbus-daemon pipewire pipewire-bin libspa-0.2-modules wireplumber jackd2 jalv
)
# The fuzz stage (scripts/fuzz.sh): clang with libFuzzer, and llvm's
# symbolizer for readable reports.
TOVANA_FUZZ_PACKAGES=(clang libclang-rt-14-dev llvm)
# The general-purpose peers of bench/compare-peers.sh: SoX and Steve
# Harris's LADSPA plug-ins (ringmod, vocoder) that SoX's ladspa effect loads.
TOVANA_PEER_PACKAGES=(sox swh-plugins)
