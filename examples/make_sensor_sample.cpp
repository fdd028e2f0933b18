// Writes the example data of `make run`: one hour of a sensor at one row per second, as CSV with the
// columns time, temperature, pressure and status. The temperature drifts slowly with noise and a heater
// step; the pressure wanders around 1013 hPa with noise and a pressure drop; the status says when the
// heater is on. The same file on every machine: the noise comes from a fixed-seed generator.
// Usage: kvo-make-sensor-sample OUTPUT.csv [ROWS]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// The standard engines give the same numbers everywhere; the standard distributions need not, so the
// normal noise is made here (Box-Muller) from the engine's raw output.
class Noise {
 public:
  explicit Noise(uint32_t seed) : engine_(seed) {}
  double Uniform() { return (static_cast<double>(engine_()) + 0.5) / 4294967296.0; }
  double Normal(double sigma) {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    return sigma * r * std::cos(6.283185307179586 * Uniform());
  }

 private:
  std::mt19937 engine_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.csv [ROWS]\n", argv[0]);
    return 2;
  }
  const long rows = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3600;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  Noise noise(20260115);
  double drift = 0.0;
  double pressure = 1013.2;
  std::fprintf(out, "time,temperature,pressure,status\n");
  for (long i = 0; i < rows; ++i) {
    const bool heater = i >= rows / 3 && i < rows / 2;
    drift += noise.Normal(0.01);
    const double base =
        21.0 + 1.5 * std::sin(static_cast<double>(i) / static_cast<double>(rows) * 6.2832) + drift;
    const double temperature = base + (heater ? 3.0 : 0.0) + noise.Normal(0.15);
    pressure += noise.Normal(0.05) + (pressure < 1013.2 ? 0.01 : -0.01);
    const double drop = i >= 2 * rows / 3 && i < 2 * rows / 3 + 300 ? -4.0 : 0.0;
    const double measured = pressure + drop + noise.Normal(0.3);
    const long seconds = i % 60, minutes = (i / 60) % 60, hours = 8 + i / 3600;
    const char* status = heater ? "heater on" : (drop < 0 ? "\"check valve, low pressure\"" : "ok");
    std::fprintf(out, "2026-01-15T%02ld:%02ld:%02ld,%.2f,%.1f,%s\n", hours, minutes, seconds, temperature,
                 measured, status);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
