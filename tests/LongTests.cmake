# Read by ctest in every tree. The tests labelled `long` here run in the optimised tree only:
# each repeats, at length, code that shorter tests run under both sanitizers too, and checks
# figures or files, not memory or threads. `./quillane.sh test` leaves them out of the sanitizer
# trees with `ctest -LE long`. A name that no test of the tree bears is passed over.
set_tests_properties(
  # Forty fits of noisy records for the intervals' coverage; every fit's profile search runs in
  # the other interval tests.
  FitIntervalTest.IntervalsOfTwentyNoisyRecordsCoverTheTruthAsOften
  # Two figures with the record's clock, whose misfit is rough at the rows' scale, and the same
  # record without it; TheClockAloneComesBackFromTheCurvature fits the clock under the sanitizers.
  FitIntervalTest.AShiftedClockIsFittedOrTold
  # The model against CalculiX, whose own run is most of its time; the whole-deposit runs it
  # checks run in WholeDepositRunTest.
  FiniteElementTest.AFreeDiscOfAxisymmetricElementsAgreesWithinOnePartInTenThousand
  # The thermal field against CalculiX, whose own run is most of its time; the field's steps run
  # in DepositFieldTest.
  FieldCalculixTest.FacesAgreeWithFiniteElementsWithinAKelvinThroughPassesAndCooling
  PROPERTIES LABELS long)
# Forty fits with their profiles, and CalculiX's disc (a minute alone, over two on a busy
# machine): longer than the two minutes other tests are given.
set_tests_properties(FitIntervalTest.IntervalsOfTwentyNoisyRecordsCoverTheTruthAsOften
  FiniteElementTest.AFreeDiscOfAxisymmetricElementsAgreesWithinOnePartInTenThousand
  PROPERTIES TIMEOUT 600)
