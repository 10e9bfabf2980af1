#pragma once

// Peak fitting for bands that overlap: a sum of Gaussian peaks (or exponentially modified
// Gaussians, for bands that tail) on a baseline, fitted to a profile by nonlinear least
// squares (GSL's trust-region Levenberg-Marquardt). Each peak is parameterised by its
// area, so a band's volume and its standard error come straight out of the fit.

#include <QString>

#include <vector>

namespace kesto {

enum class PeakShape {
    Gaussian,              // area / (sigma sqrt(2 pi)) exp(-(x - centre)^2 / (2 sigma^2))
    ExponentiallyModified, // that Gaussian convolved with exp(-x / tau) / tau, tailing to larger x
};

// The baseline fitted under the peaks, in terms of x.
enum class FitBaseline {
    None,        // 0
    Constant,    // b0
    Linear,      // b0 + b1 x
    Exponential, // b0 exp(-b1 x)
};

// Where the fit starts for one peak. A sigma or tau of 0 lets the fit guess one from the
// data around the centre (from the half-height width); an area of 0 is guessed from the
// height there and the width.
struct PeakGuess
{
    double centre = 0;
    double area = 0;
    double sigma = 0;
    double tau = 0; // ExponentiallyModified only
};

struct PeakFitOptions
{
    PeakShape shape = PeakShape::Gaussian;
    FitBaseline baseline = FitBaseline::None;
    // Where the baseline's coefficients start (missing ones start at 0).
    std::vector<double> baselineGuess;
    int maxIterations = 500;
};

struct FittedPeak
{
    double area = 0;
    double centre = 0;
    double sigma = 0;
    double tau = 0;
    // Standard errors from the fit's covariance, scaled by the residual variance.
    double areaError = 0;
    double centreError = 0;
    double sigmaError = 0;
    double tauError = 0;
};

struct PeakFit
{
    // False when the fit could not be made (too few points, a peak without data, no
    // convergence); reason says why in words a person can act on, and nothing else is
    // to be used.
    bool ok = false;
    QString reason;
    std::vector<FittedPeak> peaks; // in the guesses' order
    std::vector<double> baseline;  // the baseline's coefficients, b0, b1
    std::vector<double> baselineErrors;
    // The parameters' covariance (the errors above are the roots of its diagonal), row by
    // row, parameters in the order: the baseline's coefficients, then for each peak its
    // area, centre, sigma and (ExponentiallyModified only) tau. For the error of anything
    // worked out from several parameters, such as a peak's height.
    std::vector<double> covariance;
    int parameterCount = 0;
    double residualSumOfSquares = 0;
    // sqrt(RSS / (points - parameters)): the residual's standard deviation.
    double residualDeviation = 0;
    int iterations = 0;
};

// Fits the peaks, started at the guesses, to the points (x[i], y[i]). x and y have the
// same length; there must be more points than parameters.
PeakFit fitPeaks(const std::vector<double>& x, const std::vector<double>& y,
                 const std::vector<PeakGuess>& guesses, const PeakFitOptions& options);

// The model's value at x with the fitted parameters (for drawing the fit).
double peakModelAt(const PeakFit& fit, const PeakFitOptions& options, double x);

// One peak's value at x, without the baseline (for drawing each band under the fit).
double peakValueAt(const FittedPeak& peak, PeakShape shape, double x);

} // namespace kesto
