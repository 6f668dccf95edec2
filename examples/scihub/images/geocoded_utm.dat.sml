<?xml version="1.0" ?>
<HEADER_INFO xmlns="http://schemas.orbiscan.invalid/header"
	xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
	xsi:schemaLocation="http://schemas.orbiscan.invalid/header
	http://schemas.orbiscan.invalid/header/OrbiscanHeaderSchema_version_1.0.xsd">
   <CartographicSystem>
      <State>UTM-GLOBAL</State>
      <Hemisphere>NORTH</Hemisphere>
      <Zone>32</Zone>
   </CartographicSystem>
   <RegistrationCoordinates>
      <LatNorthing>5090010</LatNorthing>
      <LonEasting>610005</LonEasting>
      <PixelSpacingLatNorth>-20</PixelSpacingLatNorth>
      <PixelSpacingLonEast>20</PixelSpacingLonEast>
   </RegistrationCoordinates>
   <RasterInfo>
      <NrOfLinesPerImage>2000</NrOfLinesPerImage>
      <NrOfPixelsPerLine>1500</NrOfPixelsPerLine>
      <NrOfChannels>1</NrOfChannels>
      <CellType>FLOAT</CellType>
      <DataUnits>CALIBRATED</DataUnits>
      <GeocodedImage>OK</GeocodedImage>
      <OtherInfo>
         <MatrixString NumberOfRows = "1" NumberOfColumns = "2">
            <MatrixRowString ID = "0">
               <ValueString ID = "0">SOFTWARE</ValueString>
               <ValueString ID = "1">synthetic example scene</ValueString>
            </MatrixRowString>
         </MatrixString>
      </OtherInfo>
   </RasterInfo>
</HEADER_INFO>
