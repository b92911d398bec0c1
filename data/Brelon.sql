-- Materials catalogue of Quillane, built into Brelon.db by the build
-- (sqlite3 -bail Brelon.db < data/Brelon.sql). Reviewed text source: change figures here only.
--
-- Units (SI throughout):
--   Lambda       thermal conductivity            W/(m·K)
--   Rho          density                         kg/m³
--   Cp           specific heat                   J/(kg·K)
--   Tfusion      melting (liquidus) temperature  K
--   Lfusion      latent heat of fusion           J/kg
--   ModuleYoung  Young's modulus                 Pa
--   Poisson      Poisson's ratio                 -
--   dilat        linear expansion coefficient    1/K
--   SigmaQ       quenching stress of one deposited lamella, tensile positive, Pa
--
-- Room-temperature values unless stated. For sprayed coatings the figures are those of the
-- as-sprayed deposit (porosity, splat boundaries and microcracks lower the conductivity and the
-- modulus well below bulk); Tfusion and Lfusion stay those of the material itself.
--
-- Quenching stresses: in-situ curvature measurements during plasma spraying give tensile
-- stresses of about 10 to 100 MPa, depending mainly on the sprayed material, in the order
-- Al <= Mo < Ni < 80Ni-20Cr (S. Kuroda, T. Fukushima, S. Kitahara, "Generation mechanisms of
-- residual stresses in plasma-sprayed coatings", Vacuum 41 (1990) 1297); ceramics stay at the low
-- end because microcracking relaxes the lamella (S. Kuroda, T.W. Clyne, "The quenching stress in
-- thermally sprayed coatings", Thin Solid Films 200 (1991) 49-66). Values below marked
-- "estimate" are placed in that range by analogy; no single measurement is claimed for them.

PRAGMA foreign_keys=OFF;
BEGIN TRANSACTION;

CREATE TABLE "matériaux" ("Matériaux" TEXT PRIMARY KEY COLLATE NOCASE, "Lambda" REAL, "Rho" REAL, "Cp" REAL, "Tfusion" REAL, "Lfusion" REAL, "ModuleYoung" REAL, "Poisson" REAL, "dilat" REAL, "SigmaQ" REAL);

-- ---------------------------------------------------------------------------------------------
-- Thermal contact layer between the first coat and the substrate, 0.5 µm thick in the model.
-- Its conductivity sets the contact resistance R = 0.5e-6 m / Lambda; Lambda = 1.0 W/(m·K) gives
-- R = 5e-7 m²K/W, inside the range measured for plasma-sprayed splats on unheated, grit-blasted
-- substrates, 1e-8 (preheated, clean) to 1e-6 m²K/W (C. Moreau, P. Gougeon, M. Lamontagne,
-- J. Thermal Spray Technol. 4 (1995) 25-33; A.G. McDonald, C. Moreau, S. Chandra, "Thermal
-- contact resistance between plasma-sprayed particles and flat surfaces", Int. J. Heat Mass
-- Transfer 50 (2007) 1737-1749).
-- Rho, Cp, moduli and expansion: those of a thin porous oxide scale (iron oxides / alumina scale,
-- ~5200 kg/m³ dense, lowered for porosity; CRC Handbook of Chemistry and Physics). The layer
-- never melts in the model: Tfusion, Lfusion and SigmaQ are never read and are set to 0.
INSERT INTO "matériaux" VALUES('contact', 1.0, 4000.0, 600.0, 0.0, 0.0, 60.0e9, 0.25, 10.0e-6, 0.0);

-- ---------------------------------------------------------------------------------------------
-- Substrates
-- ---------------------------------------------------------------------------------------------

-- Carbon steel C35 (EN 10083, ~AISI 1035), annealed. Lambda 51.9, Rho 7850, Cp 486 (50-100 °C),
-- E 205 GPa, nu 0.29, dilat 11.0e-6 (20-100 °C): MatWeb datasheet "AISI 1035 Steel" (ASM data).
-- Tfusion: liquidus of a 0.35 %C steel ~1495 °C (Fe-C diagram, ASM Handbook vol. 3).
-- Lfusion: pure iron 13.81 kJ/mol = 247 kJ/kg (CRC Handbook); carbon steels 250-275 kJ/kg.
-- SigmaQ (if sprayed as a steel deposit): estimate 50 MPa, between Mo and Ni of Kuroda 1990.
INSERT INTO "matériaux" VALUES('Acier C35', 51.9, 7850.0, 486.0, 1768.0, 260.0e3, 205.0e9, 0.29, 11.0e-6, 50.0e6);

-- Austenitic stainless steel 316L. Lambda 16.3, Rho 8000, Cp 500, E 193 GPa, nu 0.30,
-- dilat 16.0e-6 (0-100 °C): ASM Handbook vol. 1 / MatWeb "AISI Type 316L". Tfusion 1673 K
-- (melting range 1375-1400 °C). Lfusion 280 kJ/kg (published 260-300 kJ/kg; K.C. Mills,
-- Recommended values of thermophysical properties for selected commercial alloys, NPL/ASM 2002).
-- SigmaQ 0: 316L deposits are mostly HVOF-sprayed, where peening leaves the net stress
-- compressive, so no tensile quenching stress is assigned. Same figures as the reference case.
INSERT INTO "matériaux" VALUES('Acier 316L', 16.3, 8000.0, 500.0, 1673.0, 280.0e3, 193.0e9, 0.30, 16.0e-6, 0.0);

-- Aluminium alloy 2017-T4 (AU4G). Lambda 134 (T4), Rho 2790, Cp 880, E 72.4 GPa, nu 0.33,
-- dilat 22.9e-6 (20-100 °C), melting range 513-640 °C: Aluminum Association typical values
-- (MatWeb "Aluminum 2017-T4; 2017-T451"). Lfusion 390 kJ/kg (pure Al 10.71 kJ/mol = 397 kJ/kg,
-- CRC Handbook). SigmaQ if sprayed: estimate 15 MPa, Al at the low end in Kuroda 1990.
INSERT INTO "matériaux" VALUES('Aluminium 2017', 134.0, 2790.0, 880.0, 913.0, 390.0e3, 72.4e9, 0.33, 22.9e-6, 15.0e6);

-- Titanium alloy Ti-6Al-4V (grade 5), annealed. Rho 4430, Cp 526, Lambda 6.7, dilat 8.6e-6
-- (20-100 °C), melting range 1604-1660 °C: TIMET/BTI Ti-6Al-4V datasheet; E 114 GPa, nu 0.33:
-- MatWeb "Titanium Ti-6Al-4V (Grade 5), Annealed". Lfusion 286 kJ/kg: J.L. McClure,
-- A. Cezairliyan, Int. J. Thermophys. 13 (1992) 75-81. SigmaQ if sprayed (VPS): estimate 50 MPa.
INSERT INTO "matériaux" VALUES('Ti-6Al-4V', 6.7, 4430.0, 526.0, 1933.0, 286.0e3, 114.0e9, 0.33, 8.6e-6, 50.0e6);

-- Nickel superalloy Inconel 718. Rho 8190, Cp 435, Lambda 11.4, melting range 1260-1336 °C,
-- E 200 GPa, nu 0.29 (21 °C): Special Metals "INCONEL alloy 718" datasheet; dilat 12.8e-6
-- (25-93 °C): High Temp Metals alloy 718 data. Lfusion ~210 kJ/kg (Mills 2002; published
-- 210-270 kJ/kg). SigmaQ if sprayed: estimate 80 MPa, near 80Ni-20Cr in Kuroda 1990.
INSERT INTO "matériaux" VALUES('Inconel 718', 11.4, 8190.0, 435.0, 1609.0, 210.0e3, 200.0e9, 0.29, 12.8e-6, 80.0e6);

-- Oxygen-free copper (C10100 / Cu-c1). Lambda 391, Rho 8940, Cp 385, E 115 GPa, nu 0.31,
-- dilat 17.0e-6 (20-100 °C): MatWeb / Copper Development Association data for C10100.
-- Tfusion 1357.8 K, Lfusion 13.26 kJ/mol = 209 kJ/kg: CRC Handbook. SigmaQ if sprayed:
-- estimate 30 MPa (soft metal, between Al and Ni in Kuroda 1990).
INSERT INTO "matériaux" VALUES('Cuivre', 391.0, 8940.0, 385.0, 1357.8, 209.0e3, 115.0e9, 0.31, 17.0e-6, 30.0e6);

-- ---------------------------------------------------------------------------------------------
-- Sprayed coatings (as-sprayed deposit figures)
-- ---------------------------------------------------------------------------------------------

-- Plasma-sprayed alumina (mostly gamma phase as sprayed). Lambda 3.0 (as-sprayed 2-5 W/(m·K)
-- against ~30 for dense alpha alumina; gamma phase and splat boundaries, see "Effect of
-- structure on the thermal conductivity of plasma sprayed alumina", MRS Proc.), E 60 GPa
-- (as-sprayed 40-80 GPa against 380 bulk), nu 0.20: A.S.M. Ang, C.C. Berndt, "A review of
-- testing methods for thermal spray coatings", Int. Mater. Rev. 59 (2014); Rho 3500 (~10 % porosity on 3950 dense), Cp 880 and dilat 7.5e-6:
-- MatWeb 99.5 % alumina. Tfusion 2327 K (2054 °C), Lfusion 111.1 kJ/mol = 1.09 MJ/kg: NIST-JANAF
-- Thermochemical Tables. SigmaQ 20 MPa: ceramics at the low end (Kuroda & Clyne 1991).
INSERT INTO "matériaux" VALUES('Alumine', 3.0, 3500.0, 880.0, 2327.0, 1.09e6, 60.0e9, 0.20, 7.5e-6, 20.0e6);

-- Plasma-sprayed yttria-stabilised zirconia (ZrO2 - 7-8 wt% Y2O3). Lambda 1.0 (as-sprayed
-- 0.8-1.2 W/(m·K)), E 30 GPa (as-sprayed 20-50 GPa; ~23 GPa by beam bending: S. Paul,
-- "Stiffness of plasma sprayed thermal barrier coatings", Coatings 7 (2017) 68), nu 0.20,
-- dilat 10.5e-6: D. Zhu, R.A. Miller, J. Thermal Spray Technol. 9 (2000) 175-180 and TBC
-- reviews. Rho 5300 (~12 % porosity on 6050 dense), Cp 500. Tfusion 2973 K (2700 °C for 8YSZ;
-- ZrO2 2988 K, CRC Handbook), Lfusion 87.0 kJ/mol = 706 kJ/kg (ZrO2, NIST-JANAF).
-- SigmaQ 15 MPa: microcracked ceramic, low end of Kuroda & Clyne 1991.
INSERT INTO "matériaux" VALUES('Zircone yttriée', 1.0, 5300.0, 500.0, 2973.0, 706.0e3, 30.0e9, 0.20, 10.5e-6, 15.0e6);

-- NiCrAlY bond coat (Ni-22Cr-10Al-1Y), plasma sprayed. Lambda 9 (bulk 11-12), Rho 7300,
-- Cp 500, E 120 GPa (bulk ~200), nu 0.30, dilat 14.0e-6: bond-coat figures of ASM Handbook
-- vol. 5A Thermal Spray Technology (2013) and TBC modelling literature. Tfusion 1630 K,
-- Lfusion 300 kJ/kg (Ni-base, Ni 17.5 kJ/mol = 298 kJ/kg, CRC). SigmaQ 100 MPa: NiCr-base
-- deposits at the top of the 10-100 MPa range (Kuroda 1990). Same figures as the reference case.
INSERT INTO "matériaux" VALUES('NiCrAlY', 9.0, 7300.0, 500.0, 1630.0, 300.0e3, 120.0e9, 0.30, 14.0e-6, 100.0e6);

-- Nickel-aluminium bond coat (Ni-5 wt% Al), plasma sprayed. Lambda 15 (porous, oxidised deposit;
-- Ni 90 bulk, lowered by Al in solution and splat boundaries), Rho 7300 (~9 % porosity on
-- 8000 dense), Cp 470 (mass-weighted Ni 445 / Al 897), E 100 GPa (as-sprayed 70-130 GPa), nu 0.30,
-- dilat 13.3e-6 (Ni 13.4e-6, CRC): estimates from ASM Handbook vol. 5A. Tfusion 1700 K (Ni-Al
-- liquidus at 10 at% Al), Lfusion 300 kJ/kg (Ni 298 kJ/kg, CRC). SigmaQ 60 MPa: Ni deposits in
-- the middle of the 10-100 MPa range (Kuroda 1990).
INSERT INTO "matériaux" VALUES('NiAl', 15.0, 7300.0, 470.0, 1700.0, 300.0e3, 100.0e9, 0.30, 13.3e-6, 60.0e6);

-- Plasma-sprayed molybdenum. Lambda 40 (as-sprayed 20-60 against 138 bulk), Rho 9500 (~7 %
-- porosity on 10220), Cp 251, E 120 GPa (as-sprayed 80-150 against 329 bulk), nu 0.30,
-- dilat 5.0e-6 (bulk 4.8-5.1e-6): bulk figures ASM Handbook vol. 2 / CRC, deposit figures
-- estimated from the porosity and splat-boundary reductions typical of APS metals (vol. 5A).
-- Tfusion 2896 K, Lfusion 37.48 kJ/mol = 391 kJ/kg: CRC Handbook. SigmaQ 25 MPa: Mo at the low
-- end with Al (Kuroda 1990).
INSERT INTO "matériaux" VALUES('Molybdène', 40.0, 9500.0, 251.0, 2896.0, 391.0e3, 120.0e9, 0.30, 5.0e-6, 25.0e6);

-- HVOF-sprayed WC-12Co cermet. Lambda 30 (deposit; sintered WC-12Co 85-100), Rho 13500
-- (sintered 14300), Cp 230 (mass-weighted WC 203 / Co 421), E 250 GPa (deposit 200-350 against
-- ~600 sintered), nu 0.24, dilat 5.5e-6 (sintered WC-12Co): ASM Handbook vol. 2 (cemented
-- carbides) and vol. 5A. Only the cobalt-rich binder melts in flight: Tfusion 1593 K (WC-Co
-- pseudo-binary eutectic ~1320 °C) and Lfusion = 12 % x Co 272 kJ/kg = 33 kJ/kg per kg of cermet
-- (Co 16.06 kJ/mol, CRC). SigmaQ 40 MPa: estimate (stiff deposit, binder-limited quenching).
INSERT INTO "matériaux" VALUES('WC-Co', 30.0, 13500.0, 230.0, 1593.0, 33.0e3, 250.0e9, 0.24, 5.5e-6, 40.0e6);

-- Plasma-sprayed chromia (Cr2O3). Lambda 3.0 (as-sprayed, like alumina; bulk 10-30), Rho 4800
-- (~8 % porosity on 5220), Cp 780 (118.7 J/(mol·K) at 298 K, NIST-JANAF), E 80 GPa (as-sprayed;
-- bulk ~280), nu 0.22, dilat 7.5e-6: ASM Handbook vol. 5A. Tfusion 2708 K (2435 °C, CRC
-- Handbook). Lfusion 850 kJ/kg: estimate, no measured value in the usual tables; taken from the
-- entropy of fusion of isostructural Al2O3 (111.1 kJ/mol / 2327 K = 47.7 J/(mol·K)):
-- 47.7 x 2708 = 129 kJ/mol = 850 kJ/kg. SigmaQ 20 MPa: ceramic, as alumina.
INSERT INTO "matériaux" VALUES('Chromine', 3.0, 4800.0, 780.0, 2708.0, 850.0e3, 80.0e9, 0.22, 7.5e-6, 20.0e6);

COMMIT;
